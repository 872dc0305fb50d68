#pragma once
#include "common/pelun.h"
#include "engine/vorkan_engine.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tests/engine/fake_host.h"
#include "tests/support/descendant_memory.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

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
    const int threadsAtStart_ = threadsOfThisProcess();

    std::string tree() const { return dir / "tree"; }

    void start(engine::TestObject object, const std::string& text, bool quick)
    {
        engine::TestSettings s;
        s.object = object;
        (object == engine::TestObject::Jednotka      ? s.JednE
             : object == engine::TestObject::Adresar ? s.AdrE
                                                     : s.SoubE) = text;
        s.RychlyTest = quick;
        engine.StartBtnClick(s);
    }
    void runDir(const std::string& path, bool quick = false) { start(engine::TestObject::Adresar, path, quick); }
    void runFile(const std::string& path, bool quick = false) { start(engine::TestObject::Soubor, path, quick); }
    void runDrive(const std::string& text, bool quick = false) { start(engine::TestObject::Jednotka, text, quick); }
    const engine::RunState& run() const { return engine.state(); }
    const engine::MainWindowView& view() const { return engine.view(); }
    // The error list, checked against the paths of the findings each time a test looks.
    const std::vector<std::string>& errors() const
    {
        const std::vector<std::string>& list = engine.view().result.ChybSezn;
        std::vector<std::string> ofFindings;
        for (const engine::Finding& f : engine.findings().items)
            ofFindings.push_back(f.path);
        EXPECT_EQ(list, ofFindings) << "an entry of the error list without its finding";
        return list;
    }

    // Makes the named files (paths as the walk joins them) empty once they are shown, after
    // the read phase listed them: they come up short. Each file is opened only in its turn.
    void emptyWhenShown(std::set<std::string> names)
    {
        engine.setFilesAhead(0);
        host.onYield = [this, names = std::move(names)](engine::YieldPoint where) {
            if (where == engine::YieldPoint::FileShown && names.count(view().test.SoubJML) != 0)
                ::truncate(view().test.SoubJML.c_str(), 0);
        };
    }

    // Runs body in a child process as user 65534, so that permissions hold even when the
    // tests run as root; fails the test when body failed there.
    void asOrdinaryUser(const std::function<void()>& body)
    {
        ::chmod(dir.path().c_str(), 0755);
        // Threads of an earlier run still ending would be half there in the child (which
        // ThreadSanitizer cannot follow): let them end first.
        for (int waited = 0; threadsOfThisProcess() > threadsAtStart_ && waited < 200; ++waited)
            ::usleep(10'000);
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            body();
            ::_exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed; status " << status;
    }
};

} // namespace testing_support
