#include "engine/statistics.h"
#include "tests/engine/engine_fixture.h"

#include <cmath>
#include <limits>

using engine::RunOutcome;
using engine::YieldPoint;
using testing_support::EngineFixture;
using testing_support::writeFile;
using testing_support::writeFileOfSize;

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

// Fires the main timer by hand at chosen yields, with the clock set for each tick.
struct Ticks : EngineFixture {
    void tickAt(std::int64_t second)
    {
        clock.now = start + second;
        engine.MainTimerTimer();
    }
    std::int64_t start = clock.now;
};

} // namespace

TEST(RoundAsFormatted, rounds_to_nearest_and_never_fails)
{
    EXPECT_EQ(engine::roundAsFormatted(49.6), 50);
    EXPECT_EQ(engine::roundAsFormatted(49.4), 49);
    EXPECT_EQ(engine::roundAsFormatted(-0.4), 0);
    EXPECT_EQ(engine::roundAsFormatted(1e30), INT32_MAX);
    EXPECT_EQ(engine::roundAsFormatted(-1e30), INT32_MIN);
    EXPECT_EQ(engine::roundAsFormatted(std::numeric_limits<double>::infinity()), INT32_MAX);
    EXPECT_EQ(engine::roundAsFormatted(std::nan("")), 0);
}

TEST_F(Ticks, half_of_ten_mib_shows_fifty_on_the_gauge_and_in_the_title)
{
    writeFileOfSize(tree() + "/a", 5 * kMiB);
    writeFileOfSize(tree() + "/b", 5 * kMiB);
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::BeforeFile && run().TestovanoSoub == 1)
            tickAt(2);
    };
    runDir(tree());
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    ASSERT_GE(host.titles.size(), 2u);
    EXPECT_EQ(host.titles[host.titles.size() - 2], "Hotovo: 50 % - Vorkan v1.20");
    EXPECT_EQ(host.titles.back(), "Vorkan v1.20") << "the end of a run sets the title back";
}

// Each file is opened only in its turn here, so when the next one is shown exactly the ones
// before it have arrived from the medium. Each lies one directory deeper than the one before,
// so the walk takes them in this order whatever the listing order.
TEST_F(Ticks, speeds_are_the_bytes_that_arrived_per_tick_in_kib_and_the_maximum_moves_only_when_beaten)
{
    engine.setFilesAhead(0);
    writeFileOfSize(tree() + "/a", 10 * 65536);
    writeFileOfSize(tree() + "/s/b", 2 * 65536);
    writeFileOfSize(tree() + "/s/t/c", 3500000 - 12 * 65536);
    std::vector<std::string> akt, max;
    auto tick = [&] {
        tickAt(static_cast<std::int64_t>(akt.size()) + 1);
        akt.push_back(view().test.AktRychL);
        max.push_back(view().test.MaxRychL);
    };
    host.onYield = [&](YieldPoint where) {
        const std::string& shown = view().test.SoubJML;
        if (where == YieldPoint::FileShown && shown != tree() + "/a")
            tick();
        if (where == YieldPoint::AfterChunk && shown == tree() + "/s/t/c" && run().PrectenoAktSoub == run().VelAktSoub)
            tick();
    };
    runDir(tree());
    EXPECT_EQ(akt, (std::vector<std::string>{"640 KB/s", "128 KB/s", "2649 KB/s"}));
    EXPECT_EQ(max, (std::vector<std::string>{"640 KB/s", "640 KB/s", "2649 KB/s"}));
}

// What was in flight when the pause began arrives during it: it counts in the average, not in
// the second after the pause, and the seconds of the pause read nothing.
TEST_F(Ticks, a_pause_reads_nothing_and_what_arrived_during_it_makes_no_peak)
{
    engine.setFilesAhead(0);
    writeFileOfSize(tree() + "/a", 10 * 65536);
    writeFileOfSize(tree() + "/s/b", 2 * 65536);
    bool paused = false;
    host.onYield = [&](YieldPoint where) {
        const std::string& shown = view().test.SoubJML;
        if (where == YieldPoint::AfterChunk && !paused) {
            paused = true;
            engine.PauseBtnClick();
        } else if (where == YieldPoint::Paused) {
            clock.now = start + 9;
            engine.PauseBtnClick();
        } else if (where == YieldPoint::FileShown && shown == tree() + "/s/b") {
            tickAt(10);
        } else if (where == YieldPoint::AfterChunk && shown == tree() + "/s/b" &&
                   run().PrectenoAktSoub == run().VelAktSoub) {
            tickAt(11);
        }
    };
    runDir(tree());
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(view().test.MaxRychL, "128 KB/s");
    EXPECT_EQ(view().test.PrumRychL, "69 KB/s"); // 786432 B in 11 s
    const auto& samples = engine.findings().speed.samples();
    ASSERT_EQ(samples.size(), 11u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].seconds, static_cast<double>(i + 1));
        EXPECT_EQ(samples[i].bytesPerSecond, i + 1 == samples.size() ? 2 * 65536.0 : 0.0) << i;
    }
}

// A failed file counts with its whole size in the progress, but its unread rest was never
// read: the average holds only what arrived.
TEST_F(Ticks, the_average_leaves_out_the_unread_rest_of_a_failed_file)
{
    engine.setFilesAhead(0);
    writeFileOfSize(tree() + "/a", 4 * 65536);
    writeFileOfSize(tree() + "/s/b", 4 * 65536);
    writeFileOfSize(tree() + "/s/t/c", 10);
    host.onYield = [&](YieldPoint where) {
        if (where != YieldPoint::FileShown)
            return;
        if (view().test.SoubJML == tree() + "/s/b")
            ::truncate((tree() + "/s/b").c_str(), 65536); // comes up short after one chunk
        if (view().test.SoubJML == tree() + "/s/t/c")
            tickAt(1);
    };
    runDir(tree());
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(view().test.PrumRychL, "320 KB/s"); // not the 512 KiB the progress counts
}

TEST_F(Ticks, three_and_a_half_million_bytes_in_one_tick_show_3417)
{
    writeFileOfSize(dir / "f", 3500000);
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::AfterChunk && run().PrectenoAktSoub == 3500000)
            tickAt(1);
    };
    runFile(dir / "f");
    EXPECT_EQ(view().test.AktRychL, "3417 KB/s");
}

// The file is empty: a file of any length may have arrived, read ahead, by the time it is shown.
TEST_F(Ticks, a_tick_that_reads_nothing_leaves_the_maximum_blank)
{
    writeFileOfSize(tree() + "/a", 0);
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::FileShown)
            tickAt(1);
    };
    runDir(tree());
    EXPECT_EQ(view().test.AktRychL, "0 KB/s");
    EXPECT_EQ(view().test.MaxRychL, " ");
}

TEST_F(Ticks, estimate_scales_the_read_phase_and_adds_the_time_before_it)
{
    engine.setFilesAhead(0); // what arrived by the tick is the first file, no more
    for (int i = 0; i < 10; ++i)
        writeFileOfSize(tree() + "/f" + std::to_string(i), 100000);
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::AfterEnumeration)
            clock.now = start + 5; // reading starts 5 s after Start
        if (where == YieldPoint::BeforeFile && run().TestovanoSoub == 1)
            tickAt(25);
    };
    runDir(tree());
    EXPECT_EQ(run().DobaCelk, 205);
    EXPECT_EQ(run().DobaZbyv, 180);
    EXPECT_EQ(view().test.DobaTrvL, " 0 :  0 : 25");
    EXPECT_EQ(view().test.DobaCelkL, " 0 :  3 : 25");
    EXPECT_EQ(view().test.DobaZbyvL, " 0 :  3 :  0");
    EXPECT_EQ(view().test.PrumRychL, "4 KB/s"); // 100000 B in 20 s
}

TEST_F(Ticks, the_quick_test_follows_the_share_of_files_and_shows_no_speed)
{
    for (int i = 0; i < 4; ++i)
        writeFile(tree() + "/f" + std::to_string(i), "abc");
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::BeforeFile && run().TestovanoSoub == 1)
            tickAt(3);
    };
    runDir(tree(), true);
    EXPECT_NE(std::find(host.titles.begin(), host.titles.end(), "Hotovo: 25 % - Vorkan v1.20"), host.titles.end());
    EXPECT_EQ(view().test.Prubeh.value(), 25);
    EXPECT_EQ(view().test.AktRychL, " ");
    EXPECT_EQ(view().result.VyslTestu[10], "Průměrná rychlost čtení dat:  ");
}

TEST_F(Ticks, a_run_shorter_than_a_tick_keeps_blank_labels_and_the_report_quotes_them)
{
    writeFile(tree() + "/f", "x");
    runDir(tree());
    const auto& lines = view().result.VyslTestu;
    EXPECT_EQ(lines[9], "Doba trvání testu:  ");
    EXPECT_EQ(lines[10], "Průměrná rychlost čtení dat:  ");
    EXPECT_EQ(lines[11], "Maximální rychlost čtení dat:  ");
}

TEST_F(Ticks, counting_ticks_show_only_the_elapsed_time)
{
    writeFile(tree() + "/sub/f", "x");
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::Directory)
            tickAt(61);
    };
    runDir(tree());
    EXPECT_EQ(view().test.DobaTrvL, " 0 :  1 :  1");
    EXPECT_EQ(view().test.DobaCelkL, " ");
}

TEST_F(Ticks, tiny_totals_and_zero_read_time_do_not_fail)
{
    // Files come before subdirectories, so the tick falls after all 5 bytes were read.
    writeFile(tree() + "/a", "12345");
    writeFile(tree() + "/sub/b", "");
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::BeforeFile && run().TestovanoSoub == 1)
            tickAt(0); // the same second the reading began
    };
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    // Too few bytes for whole hundredths: the gauge shows the exact share, all of it.
    EXPECT_EQ(view().test.Prubeh.value(), 100);
    EXPECT_EQ(view().test.PrumRychL, " ");
}

TEST_F(Ticks, a_clock_set_back_reports_once_while_the_message_is_open)
{
    writeFile(tree() + "/f", "x");
    int nested = 0;
    port.whileOpen = [&](const testing_support::RecordingPort::Shown&) {
        // The main timer keeps ticking under a modal message.
        ++nested;
        tickAt(-9);
        tickAt(-8);
    };
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::FileShown)
            tickAt(-10);
    };
    runDir(tree());
    EXPECT_EQ(nested, 1);
    ASSERT_EQ(port.shown.size(), 1u);
    EXPECT_NE(port.shown[0].text.find("číslo 100.  Chyba: \"Chybné odečtení časů\""), std::string::npos);
    EXPECT_EQ(view().test.DobaTrvL.substr(0, 7), "-1 : 59") << "the tick goes on with the negative time";
}

TEST_F(Ticks, a_month_end_during_a_run_is_no_error)
{
    // The stamp of the platform clock keeps counting across day and month ends.
    writeFile(tree() + "/f", "x");
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::FileShown)
            tickAt(86400 * 2);
    };
    runDir(tree());
    EXPECT_TRUE(port.shown.empty());
    EXPECT_EQ(view().test.DobaTrvL, "48 :  0 :  0");
}

TEST_F(Ticks, the_file_gauge_follows_the_current_file)
{
    writeFileOfSize(tree() + "/f", 4 * 65536);
    std::vector<int> gauge;
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::AfterChunk) {
            engine.SoubTimerTimer();
            gauge.push_back(view().test.PrubehSoub.value());
        }
    };
    runDir(tree());
    EXPECT_EQ(gauge, (std::vector<int>{25, 50, 75, 100}));
}
