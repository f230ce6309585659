// Test entry: the QApplication exists before GoogleTest starts, widgets render offscreen when no
// display is there, and every connection is held to loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

#include "platform/WindowLook.h"

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    QApplication app(argc, argv);
    zqb::ApplyWindowLook();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
