#include "common/encoding.h"
#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "engine/report.h"
#include "engine/report_texts.h"
#include "engine/surface_texts.h"
#include "engine/vorkan_engine.h"
#include "platform/clock.h"
#include "platform/drives.h"

#include <chrono>

namespace engine {

namespace {

// How long a stop waits for the requests in flight before the scan is left to them.
constexpr auto kStopGrace = std::chrono::seconds(2);

} // namespace

// Null when the device cannot be had (its message shown) or the run was stopped meanwhile.
// The open is asked off the window's thread: a dying drive's driver may hold an open for
// as long as it retries, and an open given up by a stop keeps the scan it opens.
std::shared_ptr<DeviceScan> VorkanEngine::openDriveDevice()
{
    const std::string L = common::firstCharacter(view_.test.TOL);
    const platform::Drive* drive = L.empty() ? nullptr : pelun_.drives().find(L.front());
    if (drive == nullptr || drive->source.empty() || drive->source.front() != '/' || !deviceScans_) {
        pelun_.PS_ShowError(texts::kJednotkaBezZarizeni + L);
        return nullptr;
    }
    std::shared_ptr<DeviceScan> scan = deviceScans_();
    auto refusal = std::make_shared<std::string>();
    auto opened = askOffThread([scan, refusal, source = drive->source] {
        *refusal = scan->open(source);
        return refusal->empty();
    });
    if (!opened)
        return nullptr;
    if (!*opened) {
        pelun_.PS_ShowError(*refusal);
        return nullptr;
    }
    run_.CestaTestu = drive->source;
    return scan;
}

// Lets the window's events run until the step has ended; false when the user stopped it.
// A stopped step gets a short grace to end, then is left behind.
bool VorkanEngine::awaitScanStep(const std::function<bool()>& ended)
{
    auto deadline = std::chrono::steady_clock::time_point::max();
    while (!ended()) {
        if (!run_.Bezi && deadline == std::chrono::steady_clock::time_point::max()) {
            scan_->stop();
            deadline = std::chrono::steady_clock::now() + kStopGrace;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        host_.viewChanged();
        host_.waitForEvents(YieldPoint::WaitingForRead);
    }
    return run_.Bezi && failure_.empty();
}

void VorkanEngine::pullScanProgress()
{
    std::int64_t read = scan_->bytesRead();
    run_.PrectenoTik += read - scanBytesSeen_;
    tally_->add(read - scanBytesSeen_); // the speeds are taken from the tally
    scanBytesSeen_ = read;
    run_.Zpracovano = scan_->bytesSettled();
    run_.PrectenoAktSoub = run_.Zpracovano;
    view_.test.SoubJML = run_.CestaTestu + texts::kPoziceNaZarizeni + std::to_string(scan_->position()) + texts::kBajtu;
}

RunOutcome VorkanEngine::surfaceRun()
{
    scan_ = openDriveDevice();
    if (!scan_)
        return run_.Bezi ? RunOutcome::Refused : RunOutcome::Stopped;
    prepareTestPage();
    TestPageView& t = view_.test;
    t.Label3 = texts::kLabelSoubor;
    t.StavL = texts::kStavCtePovrch;
    run_.VelCelk = scan_->size();
    run_.VelAktSoub = scan_->size();
    scanBytesSeen_ = 0;
    run_.CasStartCteni = clock_.localSeconds();
    tally_ = std::make_shared<ReadTally>();
    lastSampleSecond_ = 0;
    run_.FazeCteni = true;
    pullScanProgress();
    startMainTimer();
    host_.startSoubTimer();
    EngineHost& host = host_;
    scan_->startReading([&host] { host.wake(); });
    bool read = awaitScanStep([this] { return scan_->readingEnded(); });
    host_.stopMainTimer();
    host_.stopSoubTimer();
    if (read) {
        pullScanProgress();
        t.PrubehSoub.set(100);
        t.Prubeh.set(100);
        t.StavL = texts::kStavMapujiSe;
        t.UkoncitBtnEnabled = true;
        scan_->startMapping([&host] { host.wake(); });
        read = awaitScanStep([this] { return scan_->mappingEnded(); });
    }
    if (!read) {
        scan_.reset();
        showPage(Page::NastaveniTestu);
        return RunOutcome::Stopped;
    }
    DeviceScanFindings found = scan_->findings();
    scan_.reset();
    showSurfaceResult(found);
    return RunOutcome::Finished;
}

void VorkanEngine::showSurfaceResult(const DeviceScanFindings& found)
{
    ResultView& r = view_.result;
    for (const Finding& finding : found.damagedFiles)
        addFinding(finding.path, finding);
    findings_.slow = found.slow;
    findings_.slowDropped = found.slowDropped;
    findings_.surface = true;
    findings_.hits = found.hits;
    findings_.hitsDropped = found.hitsDropped;
    findings_.bytesRead = run_.Zpracovano;
    view_.test.StavL.clear();
    r.PocetchybL = texts::kPocetChyb + std::to_string(found.badAreas);
    r.PocetchybRed = found.badAreas != 0;
    auto lines = reportLines(view_.test, run_, found.badAreas);
    r.VyslTestu.insert(r.VyslTestu.end(), lines.begin(), lines.end());
    setTitle(texts::kAppTitle);
    showPage(Page::VysledekTestu);
    host_.beep();
}

} // namespace engine
