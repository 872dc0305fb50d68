#include "engine/vorkan_engine.h"

#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "platform/clock.h"
#include "platform/filesystem.h"

#include <exception>
#include <stdexcept>

namespace engine {

VorkanEngine::VorkanEngine(common::Pelun& pelun, EngineHost& host, platform::Clock& clock)
    : pelun_(pelun), host_(host), clock_(clock), reader_([&host] { host.wake(); })
{
    view_.title = texts::kAppTitle;
}

void VorkanEngine::StartBtnClick(const TestSettings& settings)
{
    if (running_)
        return; // a run never starts inside another
    running_ = true;
    failure_.clear();
    outcome_ = RunOutcome::None;
    try {
        runSequence(settings);
    } catch (const std::exception& e) {
        failure_ = e.what();
    }
    if (!failure_.empty())
        endRunAfterFailure(failure_);
    running_ = false;
}

void VorkanEngine::runSequence(const TestSettings& settings)
{
    run_.CasStart = clock_.localSeconds();
    resetRunState();
    walkFailures_ = 0;
    countedFiles_.clear();
    run_.Bezi = true;
    run_.Pozastaveno = false;
    view_.test.UkoncitBtnEnabled = true;
    object_ = settings.object;
    quick_ = settings.RychlyTest;
    switch (validate(settings)) {
    case Admission::Accepted: break;
    case Admission::Refused: outcome_ = RunOutcome::Refused; return;
    case Admission::GivenUp: outcome_ = RunOutcome::Stopped; return;
    }
    if (settings.object == TestObject::Jednotka && settings.CelyPovrch) {
        outcome_ = surfaceRun();
        return;
    }
    requireDescriptors(settings);
    switch (prepareVerification()) {
    case Admission::Accepted: break;
    case Admission::Refused: outcome_ = RunOutcome::Refused; return;
    case Admission::GivenUp: outcome_ = RunOutcome::Stopped; return;
    }
    prepareTestPage();
    yield(YieldPoint::BeforeEnumeration);
    run_.FazeCteni = false;
    startMainTimer();
    enumerate(settings);
    host_.stopMainTimer();
    view_.test.Label3 = texts::kLabelSoubor;
    view_.test.PrubehSoub.set(0);
    view_.test.StavL.clear();
    view_.test.UkoncitBtnEnabled = false;
    yield(YieldPoint::AfterEnumeration);
    view_.test.UkoncitBtnEnabled = true;
    // A tree whose only directories cannot be listed has nothing to count, yet it was not
    // found empty: the read phase reports those directories.
    if (run_.PocetSoub < 1 && walkFailures_ == 0) {
        pelun_.PS_ShowError(std::string(texts::kVAdresari) + texts::kZalomeni + run_.CestaTestu + texts::kZalomeni +
                            texts::kNejsouZadneObjekty);
        run_.Bezi = false;
    }
    if (!run_.Bezi || !failure_.empty()) {
        showPage(Page::NastaveniTestu);
        outcome_ = run_.Preruseno ? RunOutcome::Stopped : RunOutcome::NoFiles;
        return;
    }
    run_.CasStartCteni = clock_.localSeconds();
    run_.Zpracovano = 0;
    // A fresh tally: a read of an earlier run still stalled in the kernel counts nowhere.
    tally_ = std::make_shared<ReadTally>();
    reader_.setTally(tally_);
    lastSampleSecond_ = 0;
    run_.FazeCteni = true;
    startMainTimer();
    run_.Preruseno = false;
    view_.test.StavL = texts::kStavTestujiSe;
    host_.startSoubTimer();
    readPhase(settings);
    host_.stopMainTimer();
    host_.stopSoubTimer();
    if (run_.Preruseno || !failure_.empty()) {
        showPage(Page::NastaveniTestu);
        outcome_ = RunOutcome::Stopped;
        return;
    }
    showResult();
    outcome_ = RunOutcome::Finished;
}

// Below the least a walk needs, a directory or a file would fail for want of a descriptor
// and be reported as unreadable: better no test than a false verdict.
void VorkanEngine::requireDescriptors(const TestSettings& settings) const
{
    if (settings.object == TestObject::Soubor)
        return;
    int needed = BackgroundReader::kLeastDescriptors;
    int available = platform::descriptorsAvailable();
    if (available < needed) {
        throw std::runtime_error(texts::kMaloDeskriptoru + std::to_string(platform::descriptorLimit()) +
                                 texts::kMaloDeskriptoruPotreba + std::to_string(needed));
    }
}

void VorkanEngine::resetRunState()
{
    std::int64_t start = run_.CasStart;
    run_ = RunState{};
    run_.CasStart = start;
}

void VorkanEngine::prepareTestPage()
{
    TestPageView& t = view_.test;
    t.PrubehSoub.set(0);
    t.Prubeh.set(0);
    for (std::string* label : {&t.DobaTrvL, &t.DobaCelkL, &t.DobaZbyvL, &t.PrumRychL, &t.MaxRychL, &t.AktRychL})
        *label = texts::kBlank;
    view_.result.VyslTestu.clear();
    clearFindings();
    t.SoubJML = t.TOL;
    t.Label3 = texts::kLabelAdresar;
    showPage(Page::Test);
    t.TypTestuL = quick_ ? texts::kTypRychly : texts::kTypKompletni;
    t.StavL = texts::kStavCteniInformaci;
}

void VorkanEngine::endRunAfterFailure(const std::string& what)
{
    // Whatever broke, the run ends in the state of a stopped one.
    reader_.stop();
    scan_.reset();
    host_.stopMainTimer();
    host_.stopSoubTimer();
    run_.Bezi = false;
    run_.Pozastaveno = false;
    view_.test.PauseBtn = texts::kPozastavit;
    view_.test.UkoncitBtnEnabled = true;
    setTitle(texts::kAppTitle);
    showPage(Page::NastaveniTestu);
    outcome_ = RunOutcome::Failed;
    pelun_.PS_ShowError(texts::kTestSkoncilChybou + what);
}

void VorkanEngine::PauseBtnClick()
{
    TestPageView& t = view_.test;
    if (run_.Pozastaveno) {
        run_.Pozastaveno = false;
        t.PauseBtn = texts::kPozastavit;
        if (scan_)
            scan_->pause(false);
        startMainTimer();
        host_.viewChanged();
        return;
    }
    run_.Pozastaveno = true;
    t.PauseBtn = texts::kPokracovat;
    if (scan_)
        scan_->pause(true);
    host_.stopMainTimer();
    holdReader(true);
    host_.viewChanged();
    while (run_.Pozastaveno) {
        host_.waitForEvents(YieldPoint::Paused);
        if (!run_.Bezi) {
            run_.Pozastaveno = false;
            t.PauseBtn = texts::kPozastavit;
            if (scan_)
                scan_->pause(false);
            startMainTimer();
            host_.viewChanged();
        }
    }
    // The click that resumed may have come from within a question that holds the reader
    // itself; it lets go when it is answered.
    holdReader(false);
}

void VorkanEngine::UkoncitBtnClick()
{
    if (!running_)
        return;
    host_.stopMainTimer();
    setTitle(texts::kAppTitle);
    holdReader(true);
    if (pelun_.PS_Ask(texts::kOpravduUkoncitTest) == common::DialogResult::Yes)
        stopConfirmed();
    holdReader(run_.Pozastaveno);
    startMainTimer();
}

bool VorkanEngine::FormCloseQuery()
{
    bool timerWasRunning = host_.mainTimerActive();
    host_.stopMainTimer();
    setTitle(texts::kAppTitle);
    holdReader(true);
    bool close = pelun_.PS_Ask(texts::kOpravduUkoncitProgram) == common::DialogResult::Yes;
    holdReader(run_.Pozastaveno && !close);
    if (close) {
        stopConfirmed();
        return true;
    }
    if (timerWasRunning)
        startMainTimer();
    return false;
}

// Every start of the main timer begins a full interval, so the next tick's speed is what
// arrived in that interval; what arrived before (in flight during a pause or a question) is
// in the average, not in any one second.
void VorkanEngine::startMainTimer()
{
    tickBase_ = tally_->total();
    host_.startMainTimer();
}

// A paused run, or one waiting for the answer to a question, leaves the drive alone.
void VorkanEngine::holdReader(bool held)
{
    if (running_)
        reader_.hold(held);
}

void VorkanEngine::stopConfirmed()
{
    run_.Bezi = false;
    run_.Preruseno = true;
}

void VorkanEngine::VyslTestuOKBtnClick()
{
    showPage(Page::NastaveniTestu);
    setTitle(texts::kAppTitle);
}

void VorkanEngine::BitBtn2Click()
{
    showPage(Page::SeznamChyb);
}

void VorkanEngine::BitBtn1Click()
{
    showPage(Page::VysledekTestu);
}

void VorkanEngine::showPage(Page page)
{
    if (page != view_.page) {
        host_.stopMainTimer();
        host_.stopSoubTimer();
        view_.page = page;
        host_.showPage(page);
    }
    host_.viewChanged();
}

void VorkanEngine::yield(YieldPoint where)
{
    host_.viewChanged();
    host_.processEvents(where);
}

void VorkanEngine::setTitle(const std::string& title)
{
    view_.title = title;
    host_.setTitle(title);
}

} // namespace engine
