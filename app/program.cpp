#include "app/program.h"

#include "engine/engine_texts.h"
#include "platform/filesystem.h"
#include "ui/dirselec.h"
#include "ui/vorkan_f.h"

namespace app {

Program::Program(Machine machine)
    : pelun_(messagePort_, machine.drives, machine.registry, {machine.startDir, machine.defaultSystemRoot}),
      dirSelectModule_(platform::currentDirectory()),
      engine_(pelun_, host_, machine.clock)
{
    title_.set(QString::fromUtf8(engine::texts::kAppTitle));
    mainForm_ = std::make_unique<ui::TMainForm>(engine_, pelun_, title_);
    host_.attach(mainForm_.get());
    // The maker's shared archive opens here once the archive module exists.
    dirSelectForm_ = std::make_unique<ui::TPSDirSelectForm>(dirSelectModule_, pelun_);
    mainForm_->setDirSelectForm(*dirSelectForm_);
    // The About box is created here and shown from the main window's aboutRequested().
}

Program::~Program()
{
    dirSelectForm_.reset();
    host_.attach(nullptr);
    mainForm_.reset();
}

} // namespace app
