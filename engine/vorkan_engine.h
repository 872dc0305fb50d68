#pragma once
#include "engine/background_reader.h"
#include "engine/device_scan.h"
#include "engine/findings.h"
#include "engine/host.h"
#include "engine/manifest_paths.h"
#include "engine/manifest_writer.h"
#include "engine/run_state.h"
#include "engine/settings.h"
#include "engine/view.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace common {
class Pelun;
}
namespace platform {
class Clock;
}

namespace engine {

class Verification;

// What a complete test checks its files against, and the manifest it computes for later.
struct VerifyRequest {
    std::vector<std::string> manifests; // named by the user
    bool found = false;                 // those found in the tested tree by their names
    std::optional<HashAlgorithm> write; // compute a manifest of this algorithm
    bool any() const { return !manifests.empty() || found || write.has_value(); }
};

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

    // Manifests for the complete tests from now on; the quick test hashes nothing.
    void setVerification(VerifyRequest request) { verifyRequest_ = std::move(request); }
    // Of the last run: the manifests and their verdict, null when none was used; the
    // manifest it computed, null when none was asked for.
    const Verification* verification() const { return verification_.get(); }
    // Shared: a save of it that waits for a medium may outlive the run that made it.
    std::shared_ptr<const ManifestWriter> manifestWritten() const { return writer_; }
    // Saves the computed manifest (safe save): 0, or the errno of the failure.
    int saveManifest(const std::string& path) const { return writer_ ? writer_->save(path) : EINVAL; }

private:
    // Run sequence
    void runSequence(const TestSettings& settings);
    void resetRunState();
    enum class Admission { Accepted, Refused, GivenUp };
    Admission validate(const TestSettings& settings);
    Admission validateDrive(const std::string& text);
    std::optional<bool> askOffThread(std::function<bool()> question);
    void requireDescriptors(const TestSettings& settings) const;
    void prepareTestPage();
    void enumerate(const TestSettings& settings);
    void readPhase(const TestSettings& settings);
    void showResult();
    void endRunAfterFailure(const std::string& what);

    // Surface scan of a drive's device (surface_run.cpp)
    RunOutcome surfaceRun();
    std::shared_ptr<DeviceScan> openDriveDevice();
    bool awaitScanStep(const std::function<bool()>& ended);
    void pullScanProgress();
    void showSurfaceResult(const DeviceScanFindings& found);

    // Counting
    void ZjistiSoubor(const std::string& name);
    void ZjistiAdresar(const std::string& path, bool listed);
    void countDirectory(const std::string& path, bool listed);

    // Reading
    struct ListedFile {
        std::string name;
        std::int64_t size = 0;
        BackgroundReader::Job job = 0; // under which the reader posts its events
    };
    void TestujAdresar(const platform::WalkEntry& dir);
    bool enterTestDirectory(const platform::WalkEntry& dir);
    void countVanished(const std::string& dir, std::int64_t found);
    void TestujSoubor(const ListedFile& file);
    std::optional<WalkItem> awaitWalk();
    std::optional<ReadEvent> awaitRead(const ListedFile& file);
    std::optional<ReadEvent> awaitUnit(const ListedFile& file, ReadEvent& rest);
    void waitForReader();
    void fileFailed(const ListedFile& file, std::int64_t read, Finding finding);
    void addFinding(const std::string& path, Finding finding);
    void insertFinding(const std::string& path, Finding finding);
    void clearFindings();
    void mapDamage(const ListedFile& file);

    // Checksums (verify_phase.cpp)
    bool hashing() const { return hashing_; }
    Admission prepareVerification();
    void noteFoundManifest(const std::string& name);
    bool loadFoundManifests();
    void fileReadWhole(const ListedFile& file);
    void fileNotReadWhole(const ListedFile& file, bool failed);
    void takeArrivedDigests();
    void awaitDigests();
    bool settleDigest(bool wait);
    void addMissingFiles();

    // Statistics
    double shareDone() const;
    void refreshReadSpeeds();
    void refreshEstimate();
    int overallGauge() const;

    void startMainTimer();
    void holdReader(bool held);
    void addSpeedSample();

    void yield(YieldPoint where);
    void setTitle(const std::string& title);

    common::Pelun& pelun_;
    EngineHost& host_;
    platform::Clock& clock_;
    BackgroundReader reader_;
    struct QuestionLeftBehind {
        std::string object;                // what the run was about (its path)
        std::function<bool()> stillAsking; // whether the question still blocks
    };
    std::vector<QuestionLeftBehind> probesLeftBehind_;
    // What the medium delivered in the read phase, and how much of it the ticks so far took.
    std::shared_ptr<ReadTally> tally_ = std::make_shared<ReadTally>();
    std::int64_t tickBase_ = 0;
    std::int32_t lastSampleSecond_ = 0;

    RunState run_;
    MainWindowView view_;
    Findings findings_;
    TestObject object_ = TestObject::Jednotka;
    bool quick_ = false;
    bool map_ = false;
    int filesAhead_ = 64;
    // Files read whole whose digests have not been taken yet, in walk order.
    std::deque<ListedFile> awaitingDigests_;
    // Of the counting walk: directories it could not list, and the files it counted in each
    // directory (by the hash of its path), to tell which of them the read phase no longer finds.
    std::int64_t walkFailures_ = 0;
    std::unordered_map<std::size_t, std::int64_t> countedFiles_;
    bool running_ = false;
    DeviceScanFactory deviceScans_;
    std::shared_ptr<DeviceScan> scan_; // during a surface scan
    std::int64_t scanBytesSeen_ = 0;
    bool timeErrorOpen_ = false;
    std::string failure_;
    RunOutcome outcome_ = RunOutcome::None;

    VerifyRequest verifyRequest_;
    std::shared_ptr<Verification> verification_;
    std::shared_ptr<ManifestWriter> writer_;
    TestRoot hashRoot_;
    std::vector<std::string> foundManifests_; // walk names of candidates met while counting
    bool hashing_ = false;
};

} // namespace engine
