#include "tests/ui/gui_fixture.h"

#include "faultfs_mount.h"
#include "tests/support/held_for_writing.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <thread>

namespace gui_test {
namespace {

using common::DialogResult;
using engine::RunOutcome;

class Run : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        testing_support::writeFile(path("tree/a.txt"), "hello");
        testing_support::writeFile(path("tree/sub/b.txt"), "world!");
        testing_support::writeFileOfSize(path("tree/sub/big.bin"), 3 * 65536 + 7);
    }

    void chooseDirectory(bool quick)
    {
        child<QRadioButton>("TestAdrRB")->click();
        child<QLineEdit>("AdrE")->setText(QString::fromStdString(path("tree")));
        child<QRadioButton>(quick ? "RychlyTestRB" : "KompletniTestRB")->click();
    }

    bool reading() { return engine().running() && engine().state().FazeCteni; }
    bool paused() { return engine().running() && engine().state().Pozastaveno; }
    QString pauseCaption() { return child<QPushButton>("PauseBtn")->text(); }
    bool mainTimerActive() { return child<QTimer>("MainTimer")->isActive(); }
    std::vector<std::string> reportLines()
    {
        std::vector<std::string> lines;
        for (const QString& l : child<QPlainTextEdit>("VyslTestu")->toPlainText().split(QLatin1Char('\n')))
            lines.push_back(l.toStdString());
        return lines;
    }
};

TEST_F(Run, a_finished_quick_test_shows_its_errors_and_the_report_and_walks_the_result_pages)
{
    // Cannot be opened; its name must not start a new line on the error page.
    testing_support::writeFile(path("tree/sub/one\nline.bin"), "x");
    testing_support::HeldForWriting busy(path("tree/sub/one\nline.bin"));
    ASSERT_TRUE(busy.holding());
    chooseDirectory(true);
    bool sawTestPage = false;
    whenTrue([&] { return reading(); },
             [&] {
                 sawTestPage = page() == 0 && !child<QPushButton>("StartBtn")->isVisible() &&
                     QApplication::focusWidget() == child<QPushButton>("PauseBtn") &&
                     child<QLabel>("druhTOL")->text() == QStringLiteral("Adresář a podadresáře");
             });
    click("StartBtn");
    EXPECT_TRUE(sawTestPage);
    ASSERT_EQ(engine().lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(page(), 1);
    auto* count = child<QLabel>("PocetchybL");
    EXPECT_EQ(count->text(), QStringLiteral("Počet chyb: 1"));
    EXPECT_EQ(count->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(count->font().bold());
    auto lines = reportLines();
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[0], "Výsledek testu programu PS Vorkan v1.10");
    EXPECT_EQ(lines[5], "Umístění: " + path("tree"));
    EXPECT_EQ(lines[19], "Celkový počet chyb:1");
    EXPECT_EQ(form().windowIconText(), QStringLiteral("Vorkan v1.20"));
    EXPECT_EQ(QApplication::focusWidget(), child<QPlainTextEdit>("VyslTestu"));

    click("BitBtn2");
    EXPECT_EQ(page(), 3);
    auto* errors = child<QListWidget>("ChybSezn");
    ASSERT_EQ(errors->count(), 1);
    EXPECT_EQ(errors->item(0)->text(), QString::fromStdString(path("tree/sub/one?line.bin")));
    EXPECT_EQ(QApplication::focusWidget(), errors);
    QTest::keyClick(errors, Qt::Key_Return); // "OK" is the page's default button
    EXPECT_EQ(page(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(QApplication::focusWidget(), child<QRadioButton>("TestAdrRB"));
    EXPECT_TRUE(port_.shown.empty());
}

// The average speed divides by the whole seconds from the start of the reading to a tick:
// a tick that came even a little early would divide by a second too few and show an
// average above the highest speed.
TEST_F(Run, the_main_timer_never_ticks_before_its_interval_is_over)
{
    QElapsedTimer sinceStart;
    std::vector<qint64> ticks;
    QObject::connect(child<QTimer>("MainTimer"), &QTimer::timeout, [&] { ticks.push_back(sinceStart.elapsed()); });
    // Timers that may fire up to 5 % off their time round toward whole half seconds of the
    // monotonic clock; started 110 ms past one, such a timer fires 50 ms early every time.
    using namespace std::chrono;
    auto phase = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()) % 500;
    std::this_thread::sleep_for(milliseconds(110) + (milliseconds(500) - phase) % 500);
    sinceStart.start();
    form().startMainTimer();
    while (ticks.size() < 2 && sinceStart.elapsed() < 10000)
        QTest::qWait(5);
    form().stopMainTimer();
    ASSERT_EQ(ticks.size(), 2u);
    for (std::size_t k = 0; k < ticks.size(); ++k)
        EXPECT_GE(ticks[k], static_cast<qint64>(k + 1) * 1000) << "tick " << k + 1 << " " << ticks[k];
}

TEST_F(Run, a_complete_drive_test_without_errors_shows_the_count_in_black_and_the_next_run_starts_afresh)
{
    testing_support::writeFile(path("tree/sub/one.bin"), "x");
    {
        testing_support::HeldForWriting busy(path("tree/sub/one.bin"));
        chooseDirectory(true);
        click("StartBtn");
    }
    ASSERT_EQ(child<QListWidget>("ChybSezn")->count(), 1);
    click("VyslTestuOKBtn");

    child<QRadioButton>("TestJednRB")->click();
    child<QRadioButton>("KompletniTestRB")->click();
    click("StartBtn");
    ASSERT_EQ(engine().lastOutcome(), RunOutcome::Finished) << ::testing::PrintToString(port_.texts());
    EXPECT_EQ(child<QLabel>("PocetchybL")->text(), QStringLiteral("Počet chyb: 0"));
    EXPECT_EQ(child<QLabel>("PocetchybL")->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(child<QListWidget>("ChybSezn")->count(), 0);
    auto lines = reportLines();
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[5], "Umístění: d:\\");
    EXPECT_EQ(lines[6], "Typ testu: Kompletní test adresářů a veškerých dat souborů");
}

TEST_F(Run, esc_asks_to_stop_and_yes_ends_the_run_without_a_result)
{
    chooseDirectory(false);
    port_.answers.push_back(DialogResult::Yes);
    whenTrue([&] { return reading(); }, [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    click("StartBtn");
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Opravdu si přejete ukončit test ?"});
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(page(), 2);
    EXPECT_TRUE(child<QPlainTextEdit>("VyslTestu")->toPlainText().isEmpty());
    EXPECT_FALSE(mainTimerActive());
    EXPECT_FALSE(child<QTimer>("SoubTimer")->isActive());
}

TEST_F(Run, answering_no_to_the_stop_question_lets_the_run_finish)
{
    chooseDirectory(false);
    bool timerAfterNo = false;
    whenTrue([&] { return reading(); },
             [&] {
                 click("UkoncitBtn");
                 timerAfterNo = mainTimerActive();
             });
    click("StartBtn");
    EXPECT_EQ(port_.shown.size(), 1u);
    EXPECT_TRUE(timerAfterNo);
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(page(), 1);
}

TEST_F(Run, pause_holds_the_run_and_a_second_press_resumes_it)
{
    chooseDirectory(false);
    QString captionWhilePaused;
    bool timerWhilePaused = true;
    bool timerAfterResume = false;
    whenTrue([&] { return reading(); },
             [&] {
                 whenTrue([&] { return paused(); },
                          [&] {
                              captionWhilePaused = pauseCaption();
                              timerWhilePaused = mainTimerActive();
                              click("PauseBtn");
                              timerAfterResume = mainTimerActive();
                          });
                 click("PauseBtn");
             });
    click("StartBtn");
    EXPECT_EQ(captionWhilePaused, QStringLiteral("Pokračovat"));
    EXPECT_FALSE(timerWhilePaused);
    EXPECT_TRUE(timerAfterResume);
    EXPECT_EQ(pauseCaption(), QStringLiteral("Pozastavit"));
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Finished);
}

TEST_F(Run, no_to_the_stop_question_while_paused_restarts_the_main_timer_but_keeps_the_pause)
{
    chooseDirectory(false);
    bool timerAfterNo = false;
    bool stillPaused = false;
    whenTrue([&] { return reading(); },
             [&] {
                 whenTrue([&] { return paused(); },
                          [&] {
                              QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                              timerAfterNo = mainTimerActive();
                              stillPaused = paused() && pauseCaption() == QStringLiteral("Pokračovat");
                              click("PauseBtn");
                          });
                 click("PauseBtn");
             });
    click("StartBtn");
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Opravdu si přejete ukončit test ?"});
    EXPECT_TRUE(timerAfterNo);
    EXPECT_TRUE(stillPaused);
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Finished);
}

TEST_F(Run, closing_during_a_paused_run_ends_the_pause_the_run_and_then_the_program)
{
    chooseDirectory(false);
    QSignalSpy ends(&form(), &ui::TMainForm::programEnds);
    bool runWasOver = false;
    QObject::connect(&form(), &ui::TMainForm::programEnds, &form(), [&] { runWasOver = !engine().running(); });
    port_.answers.push_back(DialogResult::Yes);
    whenTrue([&] { return reading(); },
             [&] {
                 whenTrue([&] { return paused(); },
                          [&] {
                              form().close();
                              EXPECT_EQ(ends.count(), 0); // the run is still on the stack
                          });
                 click("PauseBtn");
             });
    click("StartBtn");
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Opravdu si přejete ukončit program ?"});
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(ends.count(), 1);
    EXPECT_TRUE(runWasOver);
    EXPECT_FALSE(form().isVisible());
    EXPECT_TRUE(child<QPlainTextEdit>("VyslTestu")->toPlainText().isEmpty());
}

TEST_F(Run, refusing_to_close_during_a_run_leaves_it_running_with_its_timer)
{
    chooseDirectory(false);
    QSignalSpy ends(&form(), &ui::TMainForm::programEnds);
    bool timerAfterNo = false;
    whenTrue([&] { return reading(); },
             [&] {
                 form().close();
                 timerAfterNo = mainTimerActive();
             });
    click("StartBtn");
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Opravdu si přejete ukončit program ?"});
    EXPECT_TRUE(timerAfterNo);
    EXPECT_EQ(ends.count(), 0);
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Finished);
}

class RunOnStalledMedium : public Run, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        Run::SetUp();
        std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }
};

// On a failing medium even the look at the chosen directory may take minutes: the window
// answers meanwhile, and closing it ends the run that never began.
TEST_F(RunOnStalledMedium, the_window_stays_alive_while_the_chosen_directory_does_not_answer)
{
    mount("slow/ list-stall 60\nslow/x 10\n");
    child<QRadioButton>("TestAdrRB")->click();
    child<QLineEdit>("AdrE")->setText(QString::fromStdString(at("slow")));
    QSignalSpy ends(&form(), &ui::TMainForm::programEnds);
    port_.answers.push_back(DialogResult::Yes);
    whenTrue([&] { return fs_->log().find("list stall begins /slow") != std::string::npos; }, [&] { form().close(); });
    click("StartBtn");
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Opravdu si přejete ukončit program ?"});
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(ends.count(), 1);
    EXPECT_EQ(page(), 2);
}

// A pause leaves the drive alone: the requests in flight come back, then nothing is read
// until the run goes on.
TEST_F(RunOnStalledMedium, a_pause_holds_the_medium_and_resuming_reads_the_rest)
{
    std::string tree;
    for (int i = 0; i < 24; ++i)
        tree += "f" + std::to_string(10 + i) + " 1M\n";
    mount(tree, "mnt", {"--read-delay", "50", "--log-reads"});
    auto readsSoFar = [&] {
        std::string log = fs_->log();
        std::size_t n = 0;
        for (std::size_t at = log.find("read /"); at != std::string::npos; at = log.find("read /", at + 1))
            ++n;
        return n;
    };
    child<QRadioButton>("TestAdrRB")->click();
    child<QLineEdit>("AdrE")->setText(QString::fromStdString(fs_->path()));
    std::size_t afterInFlight = 0;
    std::size_t atResume = 0;
    whenTrue([&] { return reading() && readsSoFar() > 0; },
             [&] {
                 whenTrue([&] { return paused(); },
                          [&] {
                              QTest::qWait(500); // what was in flight comes back
                              afterInFlight = readsSoFar();
                              QTest::qWait(1500);
                              atResume = readsSoFar();
                              click("PauseBtn");
                          });
                 click("PauseBtn");
             });
    click("StartBtn");
    EXPECT_GT(afterInFlight, 0U);
    EXPECT_EQ(atResume, afterInFlight) << "reads arrived during the pause";
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(engine().findings().bytesRead, 24 << 20);
    EXPECT_GT(readsSoFar(), atResume);
}

} // namespace
} // namespace gui_test
