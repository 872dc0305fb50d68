// The About box tests share one QApplication on Qt's offscreen platform.

#include "tests/about_ui/about_look_for_tests.h"

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
    about_test::installLook();
    return RUN_ALL_TESTS();
}
