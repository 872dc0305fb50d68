// The progress on the task bar as a desktop's task manager sees it: the launcher-entry signals
// on a session bus of the test's own.

#include "tests/ui/gui_fixture.h"

#include "faultfs_mount.h"
#include "ui/taskbar_progress.h"

#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVariantMap>

#include <cmath>
#include <optional>
#include <vector>

namespace gui_test {
namespace {

// A dbus-daemon with a session bus of its own for the length of one test.
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("dbus-monitor")).isEmpty()) {
            failure_ = "dbus-daemon or dbus-monitor is not installed";
            return;
        }
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(daemon,
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                        QStringLiteral("--print-address=1")});
        while (process_.waitForReadyRead(5000) && !process_.canReadLine()) {}
        address_ = QString::fromUtf8(process_.readLine()).trimmed();
        if (address_.isEmpty())
            failure_ = "dbus-daemon --session did not start: " + process_.errorString().toStdString();
    }
    ~PrivateSessionBus()
    {
        process_.terminate();
        if (!process_.waitForFinished(2000))
            process_.kill();
        process_.waitForFinished(2000);
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const QString& address() const { return address_; }
    const std::string& failure() const { return failure_; }

private:
    QProcess process_;
    QString address_;
    std::string failure_;
};

struct Update {
    QString appUri;
    QString path;
    bool visible = false;
    std::optional<double> progress;
    bool complete = false;
};

// What a task manager hears: every launcher-entry update broadcast on the bus, as dbus-monitor
// prints it.
class LauncherEntryMonitor {
public:
    explicit LauncherEntryMonitor(const QString& address)
    {
        const QString monitor = QStandardPaths::findExecutable(QStringLiteral("dbus-monitor"));
        if (monitor.isEmpty())
            return;
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(monitor,
                       {QStringLiteral("--address"), address,
                        QStringLiteral("type='signal',interface='com.canonical.Unity.LauncherEntry'")});
        // It says so once the bus has made it a monitor; what is sent from then on, it sees.
        while (!output_.contains(QStringLiteral("member=NameLost")) && process_.waitForReadyRead(5000))
            output_ += QString::fromUtf8(process_.readAllStandardOutput());
    }
    ~LauncherEntryMonitor()
    {
        process_.kill();
        process_.waitForFinished(2000);
    }
    LauncherEntryMonitor(const LauncherEntryMonitor&) = delete;
    LauncherEntryMonitor& operator=(const LauncherEntryMonitor&) = delete;

    bool listening() const { return output_.contains(QStringLiteral("member=NameLost")); }
    bool hidden()
    {
        const auto all = updates();
        return !all.empty() && !all.back().visible;
    }

    std::vector<Update> updates()
    {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        std::vector<Update> all;
        QString key;
        for (const QString& raw : output_.split(QLatin1Char('\n'))) {
            const QString line = raw.trimmed();
            if (line.startsWith(QStringLiteral("signal "))) {
                key.clear();
                if (line.contains(QStringLiteral("member=Update"))) {
                    Update u;
                    const qsizetype at = line.indexOf(QStringLiteral("path=")) + 5;
                    u.path = line.mid(at, line.indexOf(QLatin1Char(';'), at) - at);
                    all.push_back(u);
                }
                continue;
            }
            if (all.empty())
                continue;
            Update& u = all.back();
            if (line.startsWith(QStringLiteral("string \""))) {
                const QString text = line.mid(8, line.size() - 9);
                if (u.appUri.isEmpty())
                    u.appUri = text;
                else
                    key = text;
            } else if (line.startsWith(QStringLiteral("variant"))) {
                const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                if (key == QStringLiteral("progress") && parts.size() == 3 && parts[1] == QStringLiteral("double"))
                    u.progress = parts[2].toDouble();
                if (key == QStringLiteral("progress-visible") && parts.size() == 3)
                    u.visible = parts[2] == QStringLiteral("true");
            } else if (line == QStringLiteral("]")) {
                u.complete = true; // the end of its properties
            }
        }
        // The last one may have been read only in part.
        if (!all.empty() && !all.back().complete)
            all.pop_back();
        return all;
    }

private:
    QProcess process_;
    QString output_;
};

const QString kAppUri = QStringLiteral("application://example.pelun.Vorkan.desktop");

// Shows are followed by exactly one hide, all from one object and for the program's entry.
void expectShowsThenOneHide(const std::vector<Update>& updates)
{
    ASSERT_GE(updates.size(), 2U);
    for (std::size_t i = 0; i < updates.size(); ++i) {
        SCOPED_TRACE("update " + std::to_string(i));
        const Update& u = updates[i];
        EXPECT_EQ(u.appUri, kAppUri);
        EXPECT_EQ(u.path, updates.front().path);
        const bool last = i + 1 == updates.size();
        EXPECT_EQ(u.visible, !last);
        if (!last) {
            ASSERT_TRUE(u.progress.has_value());
            EXPECT_GE(*u.progress, 0.0);
            EXPECT_LE(*u.progress, 1.0);
        }
    }
}

class TaskbarRun : public GuiTest, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        if (!bus_.failure().empty())
            GTEST_SKIP() << bus_.failure();
        const std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        // The program finds its session bus here when it starts.
        previousAddress_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
        monitor_ = std::make_unique<LauncherEntryMonitor>(bus_.address());
        ASSERT_TRUE(monitor_->listening());
        GuiTest::SetUp();
    }
    void TearDown() override
    {
        GuiTest::TearDown();
        monitor_.reset();
        qputenv("DBUS_SESSION_BUS_ADDRESS", previousAddress_);
    }

    // A medium on which each of four files takes a second: reading them one after another,
    // the run lasts four ticks of the main timer.
    void startOnSlowMedium()
    {
        mount("f1 256K stall 0 1\nf2 256K stall 0 1\nf3 256K stall 0 1\nf4 256K stall 0 1\n");
        engine().setFilesAhead(0);
        child<QRadioButton>("TestAdrRB")->click();
        child<QLineEdit>("AdrE")->setText(QString::fromStdString(fs_->path()));
        child<QRadioButton>("KompletniTestRB")->click();
        click("StartBtn");
    }

    PrivateSessionBus bus_;
    std::unique_ptr<LauncherEntryMonitor> monitor_;

private:
    QByteArray previousAddress_;
};

TEST_F(TaskbarRun, a_run_shows_its_growing_progress_at_each_tick_and_hides_it_when_it_ends)
{
    startOnSlowMedium();
    ASSERT_EQ(engine().lastOutcome(), engine::RunOutcome::Finished);
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor_->hidden(); }, 5000));
    const auto updates = monitor_->updates();
    expectShowsThenOneHide(updates);
    ASSERT_GE(updates.size(), 3U) << "at least two ticks of the read phase";
    for (std::size_t i = 1; i + 1 < updates.size(); ++i)
        EXPECT_GE(*updates[i].progress, *updates[i - 1].progress);
    EXPECT_GT(*updates[updates.size() - 2].progress, *updates.front().progress);
    // The fraction is the one the title shows, a whole percentage.
    const double percent = *updates[updates.size() - 2].progress * 100;
    EXPECT_NEAR(percent, std::round(percent), 1e-9);
}

TEST_F(TaskbarRun, closing_the_program_during_a_run_hides_its_progress)
{
    port_.answers.push_back(common::DialogResult::Yes); // "Opravdu si přejete ukončit program ?"
    whenTrue([&] { return !monitor_->updates().empty(); }, [&] { form().close(); });
    startOnSlowMedium();
    EXPECT_EQ(engine().lastOutcome(), engine::RunOutcome::Stopped);
    EXPECT_FALSE(form().isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor_->hidden(); }, 5000));
    expectShowsThenOneHide(monitor_->updates());
}

TEST(TaskbarProgress, reaches_the_bus_whole_from_a_program_that_ends_at_once)
{
    PrivateSessionBus bus;
    if (!bus.failure().empty())
        GTEST_SKIP() << bus.failure();
    LauncherEntryMonitor monitor(bus.address());
    ASSERT_TRUE(monitor.listening());
    // Messages still queued when a program ends are lost unless they are flushed; one run
    // often gets through by chance, ten seldom do.
    constexpr int kRuns = 10;
    for (int i = 0; i < kRuns; ++i) {
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(TASKBAR_PROBE_PATH), QStringList());
        ASSERT_TRUE(probe.waitForFinished(10000));
        ASSERT_EQ(probe.exitCode(), 0) << "the probe found no session bus";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.updates().size() >= 3 * kRuns; }, 5000))
        << monitor.updates().size() << " updates";
    const auto updates = monitor.updates();
    ASSERT_EQ(updates.size(), 3U * kRuns);
    for (int i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        const std::vector<Update> run(updates.begin() + 3 * i, updates.begin() + 3 * i + 3);
        expectShowsThenOneHide(run);
        EXPECT_EQ(*run[0].progress, 0.25);
        EXPECT_EQ(*run[1].progress, 1.0) << "clamped";
    }
}

std::vector<QString>* capturedMessages = nullptr;

TEST(TaskbarProgress, without_a_session_bus_does_nothing_and_says_nothing)
{
    const QByteArray previous = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vorkan-test-bus");
    std::vector<QString> messages;
    capturedMessages = &messages;
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { capturedMessages->push_back(text); });
    {
        ui::TaskbarProgress progress;
        EXPECT_FALSE(progress.connected());
        progress.show(0.5);
        progress.hide();
    }
    qInstallMessageHandler(before);
    capturedMessages = nullptr;
    qputenv("DBUS_SESSION_BUS_ADDRESS", previous);
    EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
}

} // namespace
} // namespace gui_test
