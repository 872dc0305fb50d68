// Shows a progress on the task bar and ends at once, as the program does when it closes
// during a run. Exit status 1: no session bus.

#include "ui/taskbar_progress.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ui::TaskbarProgress progress;
    progress.show(0.25);
    progress.show(1.5);
    return progress.connected() ? 0 : 1;
}
