#include "faultfs_mount.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/descendant_memory.h"

#include <chrono>
#include <stdexcept>
#include <thread>

using engine::Page;
using engine::RunOutcome;
using engine::YieldPoint;
using testing_support::EngineFixture;
using testing_support::writeFile;

namespace {

// A clock that fails once on demand, as any step outside the guarded read might.
struct FailingClock final : platform::Clock {
    bool failNext = false;
    std::int64_t localSeconds() override
    {
        if (failNext) {
            failNext = false;
            throw std::runtime_error("clock unavailable");
        }
        return 1000;
    }
};

struct Failures : EngineFixture {
    FailingClock failing;
    engine::VorkanEngine failingEngine{pelun, host, failing};
};

} // namespace

TEST_F(Failures, an_error_in_a_tick_ends_the_run_like_a_stop_and_is_reported)
{
    writeFile(tree() + "/a", "abc");
    writeFile(tree() + "/b", "abc");
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::BeforeFile) {
            failing.failNext = true;
            failingEngine.MainTimerTimer();
        }
    };
    engine::TestSettings s;
    s.object = engine::TestObject::Adresar;
    s.AdrE = tree();
    failingEngine.StartBtnClick(s);
    EXPECT_EQ(failingEngine.lastOutcome(), RunOutcome::Failed);
    EXPECT_EQ(port.texts(), std::vector<std::string>{"Test byl ukončen kvůli chybě: clock unavailable"});
    EXPECT_EQ(failingEngine.view().page, Page::NastaveniTestu);
    EXPECT_FALSE(host.mainActive);
    EXPECT_FALSE(host.soubActive);
    EXPECT_FALSE(failingEngine.running());
    EXPECT_EQ(failingEngine.view().title, "Vorkan v1.20");
}

TEST_F(Failures, an_error_in_the_run_sequence_leaves_a_state_from_which_the_next_run_works)
{
    writeFile(tree() + "/a", "abc");
    failing.failNext = true; // the very first step of a run
    engine::TestSettings s;
    s.object = engine::TestObject::Adresar;
    s.AdrE = tree();
    failingEngine.StartBtnClick(s);
    EXPECT_EQ(failingEngine.lastOutcome(), RunOutcome::Failed);
    failingEngine.StartBtnClick(s);
    EXPECT_EQ(failingEngine.lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(failingEngine.state().TestovanoSoub, 1);
}

namespace {

struct MountThatDoesNotAnswer : EngineFixture, protected testing_support::WithFaultFs {
    void SetUp() override
    {
        std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        mount("a 10\n", "mnt", {"--root-stall", "60"});
    }
};

} // namespace

// Each Start waits for a question the medium never answers, and each stop leaves its thread
// behind: after a few for the same directory, a Start is refused at once instead.
TEST_F(MountThatDoesNotAnswer, starting_again_and_again_leaves_only_a_few_threads_behind)
{
    const std::string stalled = fs_->path();
    const int before = testing_support::threadsOfThisProcess();
    host.onYield = [this](YieldPoint where) {
        if (where == YieldPoint::Validating)
            engine.stopConfirmed();
    };
    for (int start = 0; start < 8; ++start) {
        port.shown.clear();
        std::thread nudge([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            host.wake(); // the stalled question wakes nobody: let the host look at its events
        });
        runDir(stalled);
        nudge.join();
        if (start < 4) {
            EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped) << start;
            EXPECT_TRUE(port.shown.empty()) << start;
        } else {
            EXPECT_EQ(engine.lastOutcome(), RunOutcome::Refused) << start;
            ASSERT_EQ(port.shown.size(), 1u) << start;
            EXPECT_EQ(port.shown[0].text, "Adresář " + stalled + " není přístupný !");
        }
    }
    // Four left behind, and room for threads a sanitizer's runtime starts on its own (one a
    // Start would leave eight).
    EXPECT_LE(testing_support::threadsOfThisProcess() - before, 4 + 2);
    // Another directory is asked as ever.
    host.onYield = nullptr;
    writeFile(tree() + "/f", "x");
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
}
