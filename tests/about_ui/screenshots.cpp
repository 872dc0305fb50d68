// Renders the About box's pages and the catalogue in both layouts into PNG files, with the
// sample maker archive as the catalogue (scripts/about_screenshots.sh).
//
//   vorkan-about-screenshots OUTDIR SAMPLE_ARCHIVE

#include "about/daradid.h"
#include "about/psforms.h"
#include "about/psnet.h"
#include "archive/pskomp.h"
#include "common/pelun.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"
#include "ui/program_look.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include <cstdio>
#include <filesystem>

namespace {

QString outDir;

void save(QWidget& w, const char* name)
{
    QCoreApplication::processEvents();
    const QString file = outDir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
    if (!w.grab().save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

void aboutPages(archive::Pskomp& psk, about::PsNet& net, common::Pelun& pelun)
{
    about::TDaRadidF box(psk, net, pelun);
    box.show();
    save(box, "about_authors");
    const char* pages[][2] = {{"ProduktBtn", "about_products"}, {"AdresaBtn", "about_address"}};
    for (const auto& page : pages) {
        box.findChild<QPushButton*>(QString::fromLatin1(page[0]))->click();
        save(box, page[1]);
    }
    box.LicenceBtnClick();
    save(box, "about_licence");
}

void catalogue(about::PsForms& forms, int product, int nextClicks, const char* name)
{
    about::TPSF_ProduktyPSForm form(forms, nullptr);
    form.resetLayout();
    form.show();
    form.findChild<QListWidget*>(QStringLiteral("prodSezn"))->setCurrentRow(product);
    for (int i = 0; i < nextClicks; ++i)
        form.NaslObrBtnClick();
    save(form, name);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorkan-about-screenshots OUTDIR SAMPLE_ARCHIVE\n");
        return 2;
    }
    ui::installProgramLook();
    outDir = QString::fromLocal8Bit(argv[1]);

    testing_support::TempDir dir;
    testing_support::RecordingPort port;
    platform::KeyValueStore registry(dir / "registry.ini");
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    testing_support::makeDir(dir / "start");
    std::filesystem::copy_file(argv[2], dir / "start/pelun.psk");
    common::Pelun pelun(port, drives, registry, {dir / "start", dir / "Windows"});
    archive::Pskomp psk(pelun);
    about::PsNet net([](const std::string&) {});
    psk.afterPelunPskOpened = [&] { net.PSK_ReadURLFile(psk); };
    if (!psk.PSK_Init(dir / "start")) {
        std::fprintf(stderr, "cannot start the archive module\n");
        return 1;
    }
    // Before the maker's archive is open, so that the products button shows the built-in page.
    aboutPages(psk, net, pelun);
    if (psk.PSK_OpenPelunPsk(2) < 0) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    QRect screen(0, 0, 800, 599);
    about::PsForms forms(psk, pelun, [&screen] { return screen; });
    catalogue(forms, 0, 0, "catalogue_normal");
    screen = QRect(0, 0, 800, 600);
    catalogue(forms, 0, 1, "catalogue_enlarged");
    for (const std::string& text : port.texts())
        std::fprintf(stderr, "message: %s\n", text.c_str());
    psk.shutDown();
    return 0;
}
