#include "tests/engine/engine_fixture.h"

#include <stdexcept>

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
