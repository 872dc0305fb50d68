#include "app/cli_host.h"

#include "engine/vorkan_engine.h"

#include <cstdlib>

namespace app {

namespace {

// How often a busy run looks for a stop signal: often enough to feel immediate, rarely
// enough to cost nothing next to the reading.
constexpr auto kSignalCheckInterval = std::chrono::milliseconds(20);

// Signals this close to the first are the same request: timeout(1) sends one to the
// process and one to its group.
constexpr auto kSameStop = std::chrono::seconds(1);
constexpr int kStoppedAtOnce = 130;

} // namespace

// The signals arrive through a descriptor (made before the reader threads start, so they
// never receive them), so no handler and no global state is needed.
CliHost::CliHost() = default;

CliHost::~CliHost() = default;

void CliHost::start(Timer& t)
{
    t.active = true;
    t.due = Clock::now() + t.interval;
}

void CliHost::wake()
{
    wakeEvent_.wake();
}

void CliHost::checkSignals()
{
    for (int arrived = signals_.take(); arrived > 0; --arrived) {
        auto now = Clock::now();
        if (!stopSignalled_) {
            stopSignalled_ = true;
            firstStop_ = now;
            if (engine_ != nullptr)
                engine_->stopConfirmed();
        } else if (now - firstStop_ > kSameStop) {
            // A second Ctrl+C ends the program at once, should the run be slow to unwind.
            std::_Exit(kStoppedAtOnce);
        }
    }
}

void CliHost::runDueTimers()
{
    if (inTick_ || engine_ == nullptr)
        return; // a tick lets events run itself; it must not tick inside itself
    inTick_ = true;
    auto now = Clock::now();
    if (soub_.active && now >= soub_.due) {
        soub_.due = now + soub_.interval;
        engine_->SoubTimerTimer();
    }
    if (main_.active && now >= main_.due) {
        main_.due = now + main_.interval;
        engine_->MainTimerTimer();
        if (onMainTick_)
            onMainTick_();
    }
    inTick_ = false;
}

void CliHost::processEvents(engine::YieldPoint)
{
    auto now = Clock::now();
    if (now >= nextSignalCheck_) {
        nextSignalCheck_ = now + kSignalCheckInterval;
        checkSignals();
    }
    runDueTimers();
}

int CliHost::millisecondsToNextTimer() const
{
    auto now = Clock::now();
    long wait = -1;
    for (const Timer* t : {&main_, &soub_}) {
        if (!t->active)
            continue;
        long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(t->due - now).count()) + 1;
        if (ms < 0)
            ms = 0;
        if (wait < 0 || ms < wait)
            wait = ms;
    }
    return static_cast<int>(wait);
}

void CliHost::waitForEvents(engine::YieldPoint where)
{
    // A signal that came during the wait is taken at once; a wake alone leaves the signals to
    // their usual check, which spares the many wakes of a run of small files a system call each.
    if (wakeEvent_.waitFor(millisecondsToNextTimer(), signals_).signal)
        nextSignalCheck_ = {};
    processEvents(where);
}

} // namespace app
