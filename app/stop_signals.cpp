#include "app/stop_signals.h"

#include <sys/signalfd.h>

#include <csignal>

namespace app {

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
    fd_ = platform::UniqueFd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

StopSignals::~StopSignals()
{
    take(); // one that came with the first must not kill the program as it ends
    sigset_t set = stopSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool StopSignals::take()
{
    bool any = false;
    signalfd_siginfo info{};
    while (::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        any = true;
    return any;
}

} // namespace app
