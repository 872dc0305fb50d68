#include "tests/engine/engine_fixture.h"

using common::DialogResult;
using engine::Page;
using engine::RunOutcome;
using engine::YieldPoint;
using testing_support::EngineFixture;
using testing_support::writeFile;
using testing_support::writeFileOfSize;

namespace {

struct Control : EngineFixture {
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i)
            writeFileOfSize(tree() + "/f" + std::to_string(i), 200000);
        writeFile(tree() + "/sub/g", "g");
    }
    // Presses "Ukončit" once, at the first yield of the given kind, and answers the question.
    void stopAt(YieldPoint point, DialogResult answer)
    {
        port.answers = {answer};
        host.onYield = [this, point, done = false](YieldPoint where) mutable {
            if (where == point && !done) {
                done = true;
                engine.UkoncitBtnClick();
            }
        };
    }
};

} // namespace

TEST_F(Control, stop_confirmed_while_counting_ends_on_the_settings_page)
{
    stopAt(YieldPoint::Directory, DialogResult::Yes);
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(view().page, Page::NastaveniTestu);
    EXPECT_EQ(port.texts().front(), "Opravdu si přejete ukončit test ?");
    EXPECT_EQ(host.count(YieldPoint::TestDirectory), 0);
    EXPECT_TRUE(view().result.VyslTestu.empty());
}

TEST_F(Control, stop_before_any_file_was_counted_also_says_there_is_nothing_to_test)
{
    stopAt(YieldPoint::BeforeEnumeration, DialogResult::Yes);
    runDir(tree());
    ASSERT_EQ(port.texts().size(), 2u);
    EXPECT_NE(port.texts()[1].find("nejsou žádné objekty"), std::string::npos);
    EXPECT_EQ(run().PocetSoub, 0);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
}

TEST_F(Control, stop_confirmed_while_reading_finishes_the_chunk_and_shows_no_result)
{
    stopAt(YieldPoint::AfterChunk, DialogResult::Yes);
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(view().page, Page::NastaveniTestu);
    EXPECT_EQ(run().TestovanoSoub, 1) << "the file at hand counts as tested";
    EXPECT_EQ(run().Zpracovano, 65536);
    EXPECT_TRUE(errors().empty());
    EXPECT_TRUE(view().result.VyslTestu.empty());
    EXPECT_FALSE(host.mainActive);
    EXPECT_FALSE(host.soubActive);
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(Control, stop_answered_no_goes_on_and_restarts_the_main_timer)
{
    stopAt(YieldPoint::AfterChunk, DialogResult::No);
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(run().TestovanoSoub, 4);
    EXPECT_NE(std::find(host.titles.begin(), host.titles.end(), "Vorkan v1.20"), host.titles.end());
}

TEST_F(Control, the_stop_question_stops_the_main_timer_while_it_is_open)
{
    port.answers = {DialogResult::Cancel};
    bool timerWhileAsking = true;
    port.whileOpen = [&](const testing_support::RecordingPort::Shown&) { timerWhileAsking = host.mainActive; };
    stopAt(YieldPoint::AfterChunk, DialogResult::Cancel);
    runDir(tree());
    EXPECT_FALSE(timerWhileAsking);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished) << "only Yes stops";
}

TEST_F(Control, pause_holds_the_run_until_the_second_click)
{
    int chunksWhilePaused = -1;
    host.onYield = [&, paused = false](YieldPoint where) mutable {
        if (where == YieldPoint::AfterChunk && !paused) {
            paused = true;
            engine.PauseBtnClick();
            return;
        }
        if (where == YieldPoint::Paused) {
            EXPECT_EQ(view().test.PauseBtn, "Pokračovat");
            EXPECT_FALSE(host.mainActive);
            if (host.pauseRounds == 3) {
                chunksWhilePaused = host.count(YieldPoint::AfterChunk);
                engine.PauseBtnClick();
                EXPECT_EQ(view().test.PauseBtn, "Pozastavit");
                EXPECT_TRUE(host.mainActive) << "resuming restarts the main timer";
            }
        }
    };
    runDir(tree());
    EXPECT_EQ(chunksWhilePaused, 1) << "nothing is read while paused";
    EXPECT_EQ(host.pauseRounds, 3);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
}

TEST_F(Control, stop_confirmed_while_paused_ends_the_pause_and_the_run)
{
    port.answers = {DialogResult::Yes};
    host.onYield = [&, paused = false](YieldPoint where) mutable {
        if (where == YieldPoint::BeforeFile && !paused) {
            paused = true;
            engine.PauseBtnClick();
        } else if (where == YieldPoint::Paused && host.pauseRounds == 2) {
            engine.UkoncitBtnClick();
        }
    };
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_FALSE(run().Pozastaveno);
    EXPECT_EQ(view().test.PauseBtn, "Pozastavit");
    EXPECT_EQ(run().TestovanoSoub, 1) << "the file at hand counts, unread";
    EXPECT_EQ(run().Zpracovano, 0);
}

TEST_F(Control, stop_answered_no_while_paused_restarts_the_main_timer_but_stays_paused)
{
    port.answers = {DialogResult::No};
    bool timerAfterNo = false;
    int roundsAfterNo = 0;
    host.onYield = [&, paused = false](YieldPoint where) mutable {
        if (where == YieldPoint::BeforeFile && !paused) {
            paused = true;
            engine.PauseBtnClick();
        } else if (where == YieldPoint::Paused) {
            if (host.pauseRounds == 1) {
                engine.UkoncitBtnClick();
                timerAfterNo = host.mainActive;
            } else if (++roundsAfterNo == 2) {
                engine.PauseBtnClick();
            }
        }
    };
    runDir(tree());
    EXPECT_TRUE(timerAfterNo);
    EXPECT_EQ(roundsAfterNo, 2) << "the run stayed paused after No";
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
}

TEST_F(Control, the_close_question_restores_the_timer_only_when_it_ran)
{
    port.answers = {DialogResult::No, DialogResult::No};
    EXPECT_FALSE(engine.FormCloseQuery());
    EXPECT_FALSE(host.mainActive) << "no run: the timer stays off";
    EXPECT_EQ(port.texts().front(), "Opravdu si přejete ukončit program ?");
    host.startMainTimer();
    EXPECT_FALSE(engine.FormCloseQuery());
    EXPECT_TRUE(host.mainActive);
    port.answers = {DialogResult::Yes};
    EXPECT_TRUE(engine.FormCloseQuery());
    EXPECT_FALSE(host.mainActive);
}

TEST_F(Control, closing_during_a_run_stops_it_without_a_result)
{
    port.answers = {DialogResult::Yes};
    host.onYield = [&, asked = false](YieldPoint where) mutable {
        if (where == YieldPoint::AfterChunk && !asked) {
            asked = true;
            EXPECT_TRUE(engine.FormCloseQuery());
        }
    };
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_TRUE(view().result.VyslTestu.empty());
}

TEST_F(Control, no_second_run_starts_inside_a_running_one)
{
    int innerPages = 0;
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::BeforeFile) {
            std::size_t before = host.pages.size();
            runDir(tree());
            innerPages += static_cast<int>(host.pages.size() - before);
        }
    };
    runDir(tree());
    EXPECT_EQ(innerPages, 0);
    EXPECT_EQ(run().TestovanoSoub, 4);
}

TEST_F(Control, page_changes_stop_both_timers_and_the_result_pages_lead_back)
{
    runDir(tree());
    ASSERT_EQ(view().page, Page::VysledekTestu);
    engine.BitBtn2Click();
    EXPECT_EQ(view().page, Page::SeznamChyb);
    engine.BitBtn1Click();
    EXPECT_EQ(view().page, Page::VysledekTestu);
    host.startMainTimer();
    host.startSoubTimer();
    engine.VyslTestuOKBtnClick();
    EXPECT_EQ(view().page, Page::NastaveniTestu);
    EXPECT_FALSE(host.mainActive);
    EXPECT_FALSE(host.soubActive);
    EXPECT_EQ(view().title, "Vorkan v1.20");
}

TEST_F(Control, pause_while_counting_holds_the_walk_and_resumes_it)
{
    int directoriesWhilePaused = -1;
    host.onYield = [&, paused = false](YieldPoint where) mutable {
        if (where == YieldPoint::Directory && !paused) {
            paused = true;
            engine.PauseBtnClick();
        } else if (where == YieldPoint::Paused && host.pauseRounds == 2) {
            directoriesWhilePaused = host.count(YieldPoint::Directory);
            EXPECT_FALSE(host.mainActive) << "the times stand still while paused";
            engine.PauseBtnClick();
        }
    };
    runDir(tree());
    EXPECT_EQ(directoriesWhilePaused, 1);
    EXPECT_EQ(host.count(YieldPoint::Directory), 2);
    EXPECT_EQ(run().PocetSoub, 4);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
}
