#include <QGuiApplication>
#include <gtest/gtest.h>

// Painting (fonts, PDF output) needs a GUI application, offscreen, but no widgets.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
