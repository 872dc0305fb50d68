// vorkan: the readability test with its window.

#include "app/program.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/key_value_store.h"
#include "platform/user_dirs.h"
#include "ui/glyphs.h"
#include "ui/program_look.h"
#include "ui/qt_translation.h"
#include "ui/vorkan_f.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const ui::QtCzechTranslation czech;
    // The program ends when its main window says so, which is only after a run it closed
    // under has unwound, not when the last window disappears.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ui::programIcon());
    // Ties the window to its menu entry: the icon and the progress a task bar shows for it.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.pelun.Vorkan"));
    ui::installProgramLook();

    const auto drives = platform::DriveTable::fromMountTable();
    platform::KeyValueStore registry(platform::defaultRegistryFile());
    platform::SystemClock clock;
    app::Program program({drives, registry, clock, platform::currentDirectory(), platform::defaultSystemRoot()});

    ui::TMainForm& window = program.mainForm();
    QObject::connect(&window, &ui::TMainForm::programEnds, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    int code = QApplication::exec();
    if (program.engine().readStillBlocked()) {
        // A thread stuck in the kernel can be neither joined nor stopped: the windows go
        // with the display connection now, and the process ends when the kernel lets go.
        QApplication::closeAllWindows();
        QApplication::processEvents();
        std::_Exit(code);
    }
    return code;
}
