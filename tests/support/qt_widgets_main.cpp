#include <QApplication>
#include <gtest/gtest.h>

// Window tests run offscreen with a real application object.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAV Control"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
