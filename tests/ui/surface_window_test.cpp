#include "engine/details_view.h"
#include "surface_disk.h"
#include "tests/ui/gui_fixture.h"

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <fstream>

namespace gui_test {
namespace {

using cli_testing::FaultyDisk;
using common::DialogResult;
using engine::RunOutcome;

constexpr std::int64_t kMiB = 1 << 20;

void writeFile(const std::string& path, std::int64_t size, char fill)
{
    std::ofstream out(path, std::ios::binary);
    std::string chunk(static_cast<std::size_t>(size), fill);
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
}

// Drive e is an ext4 image on a loop device over the fault filesystem, mounted read-only.
class SurfaceWindow : public GuiTest {
protected:
    void SetUp() override
    {
        std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        disk_ = std::make_unique<FaultyDisk>(diskDir_.path());
        ASSERT_EQ(disk_->makeExt4(16, [](const std::string& at) { writeFile(at + "/file", kMiB, 'f'); }), "");
        auto extents = disk_->extentsOf("file");
        ASSERT_FALSE(extents.empty()) << disk_->extentsText();
        badAt_ = extents.front().physical + 4096;
    }

    void serve(const std::vector<std::string>& faults)
    {
        ASSERT_EQ(disk_->serve(faults, true), "");
        platform::Drive e;
        e.letter = 'e';
        e.mountPoint = disk_->mountPoint();
        e.source = disk_->device();
        moreDrives_.push_back(e);
        GuiTest::SetUp();
    }

    void TearDown() override
    {
        if (disk_)
            GuiTest::TearDown();
        disk_.reset();
    }

    // The device has met the stalled read (perhaps a look at it before the scan began).
    bool stalled() const { return disk_->waitForLog("stall", std::chrono::milliseconds(0)); }
    // On a loaded machine the page with the button may come after the stall.
    bool clickable(const char* name)
    {
        auto* b = child<QPushButton>(name);
        return b != nullptr && b->isVisible() && b->isEnabled();
    }

    void startSurfaceScanOfE()
    {
        auto* drives = child<QComboBox>("JednE");
        for (int i = 0; i < drives->count(); ++i) {
            if (drives->itemText(i).startsWith(QLatin1Char('e')))
                drives->setCurrentIndex(i);
        }
        ASSERT_TRUE(drives->currentText().startsWith(QLatin1Char('e')));
        child<QCheckBox>("PovrchCB")->setChecked(true);
        click("StartBtn");
    }

    std::string eio(std::int64_t from, std::int64_t to) const
    {
        return "eio " + std::to_string(from) + " " + std::to_string(to);
    }

    testing_support::TempDir diskDir_;
    std::unique_ptr<FaultyDisk> disk_;
    std::int64_t badAt_ = 0;
};

TEST_F(SurfaceWindow, a_scan_of_the_drive_shows_its_position_then_the_bad_area_and_the_file_it_hits)
{
    serve({eio(badAt_, badAt_ + 512)});
    std::string shownPosition;
    whenTrue([&] { return engine().running() && engine().state().FazeCteni; },
             [&] { shownPosition = child<QLabel>("SoubJML")->text().toStdString(); });
    startSurfaceScanOfE();
    ASSERT_EQ(engine().lastOutcome(), RunOutcome::Finished) << ::testing::PrintToString(port_.texts());
    EXPECT_EQ(shownPosition.rfind(disk_->device() + ", pozice ", 0), 0u) << shownPosition;
    EXPECT_EQ(page(), 1);
    EXPECT_EQ(child<QLabel>("PocetchybL")->text(), QStringLiteral("Počet chyb: 1"));
    auto* list = child<QListWidget>("ChybSezn");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), disk_->mountPoint() + "/file");

    const engine::Findings& f = engine().findings();
    ASSERT_EQ(f.items.size(), 1u);
    EXPECT_EQ(f.items[0].path, disk_->mountPoint() + "/file");
    EXPECT_EQ(f.items[0].offset, 4096);
    EXPECT_EQ(f.items[0].unreadableBytes, 512);
    ASSERT_EQ(f.hits.size(), 1u);
    EXPECT_EQ(f.hits[0].start, badAt_);

    click("PodrobnostiBtn");
    auto* details = form().findChild<QWidget*>(QStringLiteral("DetailsWindow"));
    ASSERT_NE(details, nullptr);
    auto* hits = details->findChild<QTableWidget*>(QStringLiteral("HitsTable"));
    ASSERT_NE(hits, nullptr);
    ASSERT_EQ(hits->rowCount(), 1);
    EXPECT_EQ(hits->item(0, 0)->text().toStdString(), std::to_string(badAt_));
    EXPECT_EQ(hits->item(0, 3)->text(), QStringLiteral("4096"));
    EXPECT_TRUE(hits->isVisibleTo(details));
    // The file test's JSON document would misstate a scan of a device.
    EXPECT_FALSE(details->findChild<QPushButton*>(QStringLiteral("SaveJsonBtn"))->isEnabled());
}

TEST_F(SurfaceWindow, a_stop_while_a_read_hangs_returns_to_the_settings_within_seconds)
{
    serve({"stall " + std::to_string(4 * kMiB) + " 30"});
    port_.answers.push_back(DialogResult::Yes);
    whenTrue([&] { return stalled() && clickable("UkoncitBtn"); }, [&] { click("UkoncitBtn"); }, 20000);
    auto began = std::chrono::steady_clock::now();
    startSurfaceScanOfE();
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(page(), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
}

TEST_F(SurfaceWindow, a_paused_scan_reads_nothing_until_it_goes_on_and_then_reads_to_the_end)
{
    serve({"stall " + std::to_string(4 * kMiB) + " 2"});
    std::size_t logWhenHeld = 0;
    bool quietWhilePaused = false;
    // The requests in flight come back when the stall ends, however long a loaded machine
    // takes to finish them; once the log has settled, nothing new may follow while paused.
    QTimer settle;
    auto lastChange = std::chrono::steady_clock::now();
    auto pausedAt = lastChange;
    QObject::connect(&settle, &QTimer::timeout, &form(), [&] {
        auto now = std::chrono::steady_clock::now();
        std::size_t size = disk_->log().size();
        if (size != logWhenHeld) {
            logWhenHeld = size;
            lastChange = now;
        } else if (now - pausedAt > std::chrono::milliseconds(2500) && now - lastChange > std::chrono::seconds(3)) {
            // Unpaused, the rest of the device would have been read by now.
            settle.stop();
            quietWhilePaused = engine().running() && page() == 0;
            click("PauseBtn");
        }
    });
    whenTrue([&] { return stalled() && clickable("PauseBtn"); },
             [&] {
                 pausedAt = lastChange = std::chrono::steady_clock::now();
                 settle.start(100);
                 click("PauseBtn"); // returns when the run goes on
             },
             20000);
    startSurfaceScanOfE();
    EXPECT_TRUE(quietWhilePaused);
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(child<QLabel>("PocetchybL")->text(), QStringLiteral("Počet chyb: 0"));
    EXPECT_GT(disk_->log().size(), logWhenHeld);
}

TEST_F(SurfaceWindow, the_speeds_of_a_scan_are_what_the_device_delivered)
{
    // The first 4 MiB come at once, then the device stalls for two seconds: the ticks of
    // the stall see what came before it.
    serve({"stall " + std::to_string(4 * kMiB) + " 2"});
    startSurfaceScanOfE();
    ASSERT_EQ(engine().lastOutcome(), RunOutcome::Finished);
    const auto& samples = engine().findings().speed.samples();
    EXPECT_TRUE(std::any_of(samples.begin(), samples.end(), [](const auto& s) { return s.bytesPerSecond > 0; }));
    EXPECT_NE(engine().view().test.MaxRychL, " ");
    EXPECT_NE(engine().view().test.PrumRychL, " ");
}

// The filesystem identity of this thread only, so the rest of the test keeps root's.
class ActingAsNobody {
public:
    ActingAsNobody() { ::setfsuid(65534); }
    ~ActingAsNobody() { ::setfsuid(0); }
    ActingAsNobody(const ActingAsNobody&) = delete;
    ActingAsNobody& operator=(const ActingAsNobody&) = delete;
};

TEST_F(SurfaceWindow, a_user_who_may_not_read_the_device_gets_the_message_and_stays_on_the_settings)
{
    serve({});
    // Only the device is out of reach, not the drive's mount point.
    ASSERT_EQ(::chmod(diskDir_.path().c_str(), 0755), 0);
    {
        ActingAsNobody nobody;
        startSurfaceScanOfE();
    }
    EXPECT_EQ(engine().lastOutcome(), RunOutcome::Refused);
    EXPECT_EQ(page(), 2);
    ASSERT_EQ(port_.shown.size(), 1u);
    EXPECT_EQ(port_.shown[0].text, "Zařízení nelze otevřít: " + disk_->device() + " (Permission denied)");
}

} // namespace
} // namespace gui_test
