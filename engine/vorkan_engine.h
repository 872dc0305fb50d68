#pragma once
#include "engine/background_reader.h"
#include "engine/device_scan.h"
#include "engine/findings.h"
#include "engine/host.h"
#include "engine/run_state.h"
#include "engine/settings.h"
#include "engine/view.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace common {
class Pelun;
}
namespace platform {
class Clock;
}

namespace engine {

// How the last Start ended.
enum class RunOutcome { None, Refused, NoFiles, Stopped, Finished, Failed };

// The readability test: validation, counting, reading, statistics and the result, with the
// window's handlers that act on a run. One object for the program; it talks to the window,
// the command-line tool or a test only through its host and the helper module's messages.
class VorkanEngine {
public:
    VorkanEngine(common::Pelun& pelun, EngineHost& host, platform::Clock& clock);

    // Handlers of the main window
    void StartBtnClick(const TestSettings& settings);
    void PauseBtnClick();
    void UkoncitBtnClick(); // the Stop question
    bool FormCloseQuery();  // the close question; true when the window may close
    void MainTimerTimer();
    void SoubTimerTimer();
    void VyslTestuOKBtnClick();
    void BitBtn2Click(); // "Zobrazit chyby"
    void BitBtn1Click(); // "OK" of the error list
    // Shows a page; a change of page stops both timers.
    void showPage(Page page);

    // The answer Yes to the Stop question, for hosts that stop without asking (a signal).
    void stopConfirmed();

    const RunState& state() const { return run_; }
    const MainWindowView& view() const { return view_; }
    bool running() const { return running_; }
    RunOutcome lastOutcome() const { return outcome_; }
    // What the last run tested, and how.
    TestObject testedObject() const { return object_; }
    bool quickTest() const { return quick_; }
    // A listing, a read or a look at the tested object given up by a stop may still block in
    // the kernel (a stalled medium).
    bool readStillBlocked() const;
    // Bytes of the last read phase read through the page cache, where the filesystem
    // refused direct reads: not guaranteed to come from the medium.
    std::int64_t bytesNotFromMedium() const { return reader_.bytesNotFromMedium(); }
    // How many files the reader may open and read ahead of the one being tested; with 0
    // each file is opened only when its turn has come.
    void setFilesAhead(int files) { filesAhead_ = std::max(0, files); }
    // Why and where each entry of the error list failed, the slow reads and the speed curve
    // of the last run.
    const Findings& findings() const { return findings_; }
    // A read request that takes at least this long is kept as a slow read.
    void setSlowThreshold(double seconds) { reader_.setSlowThreshold(seconds); }
    // After a failed read, read on to the end of the file and keep its unreadable ranges.
    // The counts, the error list and the protocol stay as they are.
    void setMapDamage(bool map)
    {
        map_ = map;
        reader_.setMapDamage(map);
    }
    // Makes the scans of a drive's whole device; without it such a run is refused.
    void setDeviceScans(DeviceScanFactory factory) { deviceScans_ = std::move(factory); }

private:
    // Run sequence
    void runSequence(const TestSettings& settings);
    void resetRunState();
    enum class Admission { Accepted, Refused, GivenUp };
    Admission validate(const TestSettings& settings);
    Admission validateDrive(const std::string& text);
    std::optional<bool> askOffThread(std::function<bool()> question);
    void prepareTestPage();
    void enumerate(const TestSettings& settings);
    void readPhase(const TestSettings& settings);
    void showResult();
    void endRunAfterFailure(const std::string& what);

    // Surface scan of a drive's device (surface_run.cpp)
    RunOutcome surfaceRun();
    std::unique_ptr<DeviceScan> openDriveDevice();
    bool awaitScanStep(const std::function<bool()>& ended);
    void pullScanProgress();
    void showSurfaceResult(const DeviceScanFindings& found);

    // Counting
    void ZjistiSoubor(const std::string& name);
    void ZjistiAdresar(const std::string& path, bool listed);

    // Reading
    struct ListedFile {
        std::string name;
        std::int64_t size = 0;
        BackgroundReader::Job job = 0; // under which the reader posts its events
    };
    void TestujAdresar(const platform::WalkEntry& dir);
    void TestujSoubor(const ListedFile& file);
    std::optional<WalkItem> awaitWalk();
    std::optional<ReadEvent> awaitRead(const ListedFile& file);
    void waitForReader();
    void fileFailed(const ListedFile& file, std::int64_t read, Finding finding);
    void addFinding(const std::string& path, Finding finding);
    void mapDamage(const ListedFile& file);

    // Statistics
    double shareDone() const;
    void refreshReadSpeeds();
    void refreshEstimate();
    int overallGauge() const;

    void yield(YieldPoint where);
    void setTitle(const std::string& title);

    common::Pelun& pelun_;
    EngineHost& host_;
    platform::Clock& clock_;
    BackgroundReader reader_;
    std::vector<std::function<bool()>> probesLeftBehind_; // each tells whether its question still blocks

    RunState run_;
    MainWindowView view_;
    Findings findings_;
    TestObject object_ = TestObject::Jednotka;
    bool quick_ = false;
    bool map_ = false;
    int filesAhead_ = 32;
    bool running_ = false;
    DeviceScanFactory deviceScans_;
    std::unique_ptr<DeviceScan> scan_; // during a surface scan
    std::int64_t scanBytesSeen_ = 0;
    bool timeErrorOpen_ = false;
    std::string failure_;
    RunOutcome outcome_ = RunOutcome::None;
};

} // namespace engine
