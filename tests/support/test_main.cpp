#include <QApplication>
#include <gtest/gtest.h>

// Every test executable gets a QApplication; widget tests run offscreen (CTest
// sets QT_QPA_PLATFORM), the platform tests simply do not use it.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
