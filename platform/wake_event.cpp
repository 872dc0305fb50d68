#include "platform/wake_event.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cstdint>

namespace platform {

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void WakeEvent::wake()
{
    // Fails only when the counter would overflow, and a pending wake is there then anyway.
    std::uint64_t one = 1;
    (void)!::write(fd_.get(), &one, sizeof one);
}

Woken WakeEvent::waitFor(int timeoutMs, const StopSignals& signals)
{
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
    Woken woken;
    // An interrupted poll ends the wait as a timeout does: the caller looks at its clock and
    // its signals either way, so nothing is lost by not repeating it here.
    if (::poll(fds, 2, timeoutMs) <= 0)
        return woken;
    woken.signal = (fds[1].revents & POLLIN) != 0;
    if ((fds[0].revents & POLLIN) != 0) {
        woken.wake = true;
        std::uint64_t count = 0; // one read takes the whole counter back to zero
        (void)!::read(fd_.get(), &count, sizeof count);
    }
    return woken;
}

} // namespace platform
