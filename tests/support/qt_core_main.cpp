#include <QCoreApplication>
#include <gtest/gtest.h>

// The serial component posts its notifications to the event loop: tests need an application.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
