// The Qt tests share one QApplication on the offscreen platform, with the program's look.

#include "ui/program_look.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Also when the list of tests is asked for, which runs without the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ui::installProgramLook();
    return RUN_ALL_TESTS();
}
