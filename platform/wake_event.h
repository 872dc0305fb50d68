#pragma once
#include "platform/stop_signals.h"
#include "platform/unique_fd.h"

namespace platform {

// What ended a wait: a wake() from another thread, a stop signal, or neither (the time ran
// out, or the wait was interrupted, which the caller treats alike and waits again if it must).
struct Woken {
    bool wake = false;
    bool signal = false;
};

// Lets another thread end a wait of the host's thread at once: the waiting thread blocks on a
// descriptor that wake() makes readable, and on the stop signals' descriptor beside it.
class WakeEvent {
public:
    WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Safe from any thread; wakes that come before the wait are kept for it, and many count
    // as one.
    void wake();
    // Waits until woken, a stop signal is pending or timeoutMs has passed (-1: no limit). The
    // wakes are taken; the signals stay pending for their owner to take.
    Woken waitFor(int timeoutMs, const StopSignals& signals);

private:
    UniqueFd fd_;
};

} // namespace platform
