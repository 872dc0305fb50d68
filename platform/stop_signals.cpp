#include "platform/stop_signals.h"

#include <sys/signalfd.h>

#include <csignal>

namespace platform {

namespace {

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

StopSignals::StopSignals()
{
    sigset_t set = stopSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = UniqueFd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

StopSignals::~StopSignals()
{
    take(); // one that came with the first must not kill the program as it ends
    sigset_t set = stopSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int StopSignals::take()
{
    int arrived = 0;
    signalfd_siginfo info{};
    while (::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        ++arrived;
    return arrived;
}

} // namespace platform
