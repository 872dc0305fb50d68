#pragma once
#include "common/pelun.h"
#include "engine/vorkan_engine.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tests/engine/fake_host.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace testing_support {

// A fresh engine on a temporary tree, with a scripted host, a hand-set clock and a drive
// table in which drive "d" is the temporary directory.
struct EngineFixture : ::testing::Test {
    TempDir dir;
    RecordingPort port;
    platform::KeyValueStore registry{dir / ".registry.ini"};
    platform::DriveTable drives = platform::DriveTable::fromDrives({
        {'c', platform::DriveType::Fixed, "/", "", "/dev/vda"},
        {'d', platform::DriveType::Fixed, dir.path(), "DATA", "/dev/vdb"},
        {'e', platform::DriveType::CdRom, "", "", "/dev/sr0"},
    });
    common::Pelun pelun{port, drives, registry, {dir.path(), dir / ".windows"}};
    FakeHost host;
    FakeClock clock;
    engine::VorkanEngine engine{pelun, host, clock};

    std::string tree() const { return dir / "tree"; }

    void start(engine::TestObject object, const std::string& text, bool quick)
    {
        engine::TestSettings s;
        s.object = object;
        (object == engine::TestObject::Jednotka ? s.JednE : object == engine::TestObject::Adresar ? s.AdrE : s.SoubE) = text;
        s.RychlyTest = quick;
        engine.StartBtnClick(s);
    }
    void runDir(const std::string& path, bool quick = false) { start(engine::TestObject::Adresar, path, quick); }
    void runFile(const std::string& path, bool quick = false) { start(engine::TestObject::Soubor, path, quick); }
    void runDrive(const std::string& text, bool quick = false) { start(engine::TestObject::Jednotka, text, quick); }
    const engine::RunState& run() const { return engine.state(); }
    const engine::MainWindowView& view() const { return engine.view(); }
    const std::vector<std::string>& errors() const { return engine.view().result.ChybSezn; }
};

} // namespace testing_support
