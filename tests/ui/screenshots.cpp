// Renders every page of the main window and both dialogs into PNG files, on whatever
// platform Qt is given (scripts/screenshots.sh uses the offscreen one).

#include "app/program.h"
#include "faultfs_mount.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/key_value_store.h"
#include "tests/support/held_for_writing.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"
#include "ui/dirselec.h"
#include "ui/message_dialog.h"
#include "ui/program_look.h"
#include "ui/vorkan_f.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

QString outDir;

void save(QWidget& w, const char* name)
{
    QCoreApplication::processEvents();
    const QString file = outDir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
    if (!w.grab().save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

template <typename T>
T* find(QWidget& w, const char* name)
{
    return w.findChild<T*>(QString::fromLatin1(name));
}

// A file that holds no blocks on the disc but reads for a few seconds.
void makeSparse(const std::string& path, off_t size)
{
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        (void)!::ftruncate(fd, size);
        ::close(fd);
    }
}

// A medium that fails in places and stalls twice, for the details of a mapped complete test.
const char* const kFaultyMedium = "Dokumenty/zpráva.doc 600M\n"
                                  "Dokumenty/smlouva.pdf 30 open-eio\n"
                                  "Fotografie/léto.jpg 24M eio-range 1048576 1179648\n"
                                  "Fotografie/zima.jpg 16M stall 8388608 2\n"
                                  "Video/film.mkv 2G stall 1610612736 2\n"
                                  "Záloha/disk.img 60M eio-at 41943040\n"
                                  "Záloha/archiv.zip 200000 short 131072\n"
                                  "Záloha/poslední.bin 1G\n";

// The details window of a complete test, with the damage mapped, of the medium above.
void saveDetails(app::Program& program, const testing_support::TempDir& tmp, testing_support::RecordingPort& port)
{
    const std::string reason = testing_support::FaultFsMount::unavailableReason();
    if (!reason.empty()) {
        std::fprintf(stderr, "details: no fault filesystem here (%s)\n", reason.c_str());
        return;
    }
    testing_support::makeDir(tmp / "médium");
    testing_support::FaultFsMount medium(kFaultyMedium, tmp / "médium");
    ui::TMainForm& form = program.mainForm();
    find<QPushButton>(form, "VyslTestuOKBtn")->click();
    find<QLineEdit>(form, "AdrE")->setText(QString::fromStdString(medium.path()));
    find<QRadioButton>(form, "KompletniTestRB")->click();
    find<QCheckBox>(form, "MapovatCB")->setChecked(true);
    save(form, "settings_map");
    find<QPushButton>(form, "StartBtn")->click();
    save(form, "result_details");
    find<QPushButton>(form, "PodrobnostiBtn")->click();
    auto* details = form.findChild<QWidget*>(QStringLiteral("DetailsWindow"));
    if (details == nullptr) {
        for (const std::string& text : port.texts())
            std::fprintf(stderr, "details: %s\n", text.c_str());
        return;
    }
    save(*details, "details");
    details->close();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ui::installProgramLook();
    outDir = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".")).absolutePath();

    testing_support::TempDir tmp;
    testing_support::writeFileOfSize(tmp / "Dokumenty/zpráva.doc", 200000);
    testing_support::writeFile(tmp / "Dokumenty/poškozený.txt", "x");
    testing_support::writeFile(tmp / "Fotografie/léto.jpg", "y");
    testing_support::writeFileOfSize(tmp / "Fotografie/zima.jpg", 90000);
    testing_support::makeDir(tmp / "Záloha");
    makeSparse(tmp / "Záloha/disk.img", (off_t{40} << 30) + 123456789);
    platform::setCurrentDirectory(tmp.path());

    platform::Drive c{'c', platform::DriveType::Fixed, "/", "", "/dev/vda1"};
    platform::Drive d{'d', platform::DriveType::Removable, tmp.path(), "DATA", "/dev/sdb1"};
    platform::Drive e{'e', platform::DriveType::CdRom, "", "", "/dev/sr0"};
    auto drives = platform::DriveTable::fromDrives({c, d, e});
    platform::KeyValueStore registry(tmp / "registry.ini");
    platform::SystemClock clock;
    app::Program program({drives, registry, clock, tmp.path(), tmp / "Windows"});
    testing_support::RecordingPort port;
    program.pelun().setMessagePort(port);

    ui::TMainForm& form = program.mainForm();
    form.show();
    find<QRadioButton>(form, "TestAdrRB")->click();
    find<QLineEdit>(form, "AdrE")->setText(QString::fromStdString(tmp.path()));
    save(form, "settings");

    // The Test page, a few seconds into reading the large file; then stop.
    port.answers.push_back(common::DialogResult::Yes);
    QTimer poll;
    QElapsedTimer reading;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!program.engine().state().FazeCteni)
            return;
        if (!reading.isValid())
            reading.start();
        if (reading.elapsed() < 2600 || find<QLabel>(form, "SoubJML")->text().indexOf(QStringLiteral("disk.img")) < 0)
            return;
        poll.stop();
        save(form, "test");
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&form, &esc);
    });
    poll.start(0);
    find<QPushButton>(form, "StartBtn")->click();
    // A fast disc reads the large file before the picture is due: no later run may be stopped.
    poll.stop();
    port.answers.clear();

    // The result of a quick test, which cannot open two files another program is writing.
    std::remove((tmp / "Záloha/disk.img").c_str());
    {
        testing_support::HeldForWriting report(tmp / "Dokumenty/poškozený.txt");
        testing_support::HeldForWriting photo(tmp / "Fotografie/léto.jpg");
        find<QRadioButton>(form, "RychlyTestRB")->click();
        find<QPushButton>(form, "StartBtn")->click();
    }
    save(form, "result");
    find<QPushButton>(form, "BitBtn2")->click();
    save(form, "errors");
    find<QPushButton>(form, "BitBtn1")->click();
    saveDetails(program, tmp, port);

    ui::TPSDirSelectForm& dir = program.dirSelectForm();
    dir.show();
    save(dir, "directory_dialog");
    dir.hide();

    ui::MessageDialog question(common::DialogKind::Question, QStringLiteral("Opravdu si přejete ukončit test ?"),
                               program.title().text());
    question.show();
    save(question, "message_dialog");
    ui::MessageDialog error(common::DialogKind::Error,
                            QString::fromStdString("V adresáři \n\r" + tmp.path() +
                                                   "/Prázdný\n\rnejsou žádné objekty, které by bylo možné testovat !"),
                            program.title().text());
    error.show();
    save(error, "error_dialog");
    return 0;
}
