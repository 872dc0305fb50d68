#include "app/program.h"

#include "about/daradid.h"
#include "engine/engine_texts.h"
#include "platform/filesystem.h"
#include "ui/dirselec.h"
#include "ui/vorkan_f.h"

namespace app {

Program::Program(Machine machine)
    : pelun_(machine.messages != nullptr ? *machine.messages : messagePort_, machine.drives, machine.registry,
             {machine.startDir, machine.defaultSystemRoot}),
      dirSelectModule_(machine.startDir), archive_(pelun_, machine.startDir), engine_(pelun_, host_, machine.clock)
{
    archive_.psk.afterPelunPskOpened = [this] { links_.net.PSK_ReadURLFile(archive_.psk); };
    title_.set(QString::fromUtf8(engine::texts::kAppTitle));
    mainForm_ = std::make_unique<ui::TMainForm>(engine_, pelun_, title_);
    host_.attach(mainForm_.get());
    FormCreate();
    dirSelectForm_ = std::make_unique<ui::TPSDirSelectForm>(dirSelectModule_, pelun_);
    mainForm_->setDirSelectForm(*dirSelectForm_);
    aboutBox_ = std::make_unique<about::TDaRadidF>(archive_.psk, links_.net, pelun_, about::TDaRadidF::ShowCatalogue{},
                                                   mainForm_.get());
    QObject::connect(mainForm_.get(), &ui::TMainForm::aboutRequested, mainForm_.get(), [this] { OprogBtnClick(); });
}

void Program::OprogBtnClick()
{
    aboutBox_->exec();
    // The About box can close right after the catalogue above it; a window manager then does
    // not always hand the focus back, and the main window takes no keys until a click.
    if (mainForm_->isVisible())
        mainForm_->activateWindow();
}

void Program::FormCreate()
{
    // Looked for without regard to letter case: "pelun.psk", "Pelun.PSK", ...
    auto found = platform::resolveIgnoringCase(pelun_.PS_StartDir(), "pelun.psk");
    if (found && platform::fileExists(*found))
        archive_.psk.PSK_OpenPelunPsk(0);
}

Program::~Program()
{
    aboutBox_.reset();
    dirSelectForm_.reset();
    host_.attach(nullptr);
    mainForm_.reset();
}

} // namespace app
