#pragma once
#include "about/psnet.h"
#include "archive/pskomp.h"
#include "common/pelun.h"
#include "engine/host_relay.h"
#include "engine/vorkan_engine.h"
#include "ui/app_title.h"
#include "ui/dirselec_module.h"
#include "ui/message_dialog.h"

#include <memory>
#include <string>

namespace platform {
class Clock;
class DriveTable;
class KeyValueStore;
} // namespace platform

namespace about {
class TDaRadidF;
}

namespace ui {
class TMainForm;
class TPSDirSelectForm;
} // namespace ui

namespace app {

// The program's modules and long-lived windows, created in start-up order and released in
// the reverse order. Needs a QApplication.
class Program {
public:
    struct Machine {
        const platform::DriveTable& drives;
        platform::KeyValueStore& registry;
        platform::Clock& clock;
        std::string startDir;
        std::string defaultSystemRoot;
        // Where messages go from the start on; the program's own dialog when not given.
        common::MessagePort* messages = nullptr;
    };

    explicit Program(Machine machine);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    common::Pelun& pelun() { return pelun_; }
    engine::VorkanEngine& engine() { return engine_; }
    ui::AppTitle& title() { return title_; }
    ui::DirSelectModule& dirSelectModule() { return dirSelectModule_; }
    archive::Pskomp& archive() { return archive_.psk; }
    about::PsNet& links() { return links_.net; }
    ui::TMainForm& mainForm() { return *mainForm_; }
    ui::TPSDirSelectForm& dirSelectForm() { return *dirSelectForm_; }
    about::TDaRadidF& aboutBox() { return *aboutBox_; }

private:
    // The link module's life: built-in addresses at start, emptied at the end.
    struct LinkModule {
        about::PsNet net;
        ~LinkModule() { net.clear(); }
    };
    // The archive module's life: its streams and base directory at start; at the end every
    // archive still open is closed, with the module's self-checks.
    struct ArchiveModule {
        archive::Pskomp psk;
        ArchiveModule(common::Pelun& pelun, const std::string& dir) : psk(pelun) { psk.startUp(dir); }
        ~ArchiveModule() { psk.shutDown(); }
    };

    // The main window's creation handler: the maker's shared archive opens when the start-up
    // directory holds it.
    void FormCreate();
    // "&O programu": the About box, modal; how it was closed does not matter.
    void OprogBtnClick();

    ui::AppTitle title_;
    ui::QtMessagePort messagePort_{title_};
    common::Pelun pelun_;
    ui::DirSelectModule dirSelectModule_;
    LinkModule links_;
    ArchiveModule archive_;
    engine::HostRelay host_;
    engine::VorkanEngine engine_;
    std::unique_ptr<ui::TMainForm> mainForm_;
    std::unique_ptr<ui::TPSDirSelectForm> dirSelectForm_;
    std::unique_ptr<about::TDaRadidF> aboutBox_;
};

} // namespace app
