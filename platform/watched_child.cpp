#include "platform/watched_child.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>

namespace platform {

namespace {

sigset_t watchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGCHLD);
    return set;
}

// The child's status as a shell would give it; -1 while it runs.
int reap(pid_t child)
{
    int status = 0;
    pid_t rc;
    do
        rc = ::waitpid(child, &status, WNOHANG);
    while (rc < 0 && errno == EINTR);
    if (rc != child)
        return rc < 0 ? 1 : -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// The child's own word on how it ended, sent when its work is done and its output flushed:
// its exit may still wait for a thread stuck in the kernel.
std::optional<int> toldStatus(int fd, bool& closed)
{
    unsigned char code = 0;
    ssize_t n = ::read(fd, &code, 1);
    if (n == 1)
        return code;
    if (n == 0 || (errno != EAGAIN && errno != EINTR))
        closed = true;
    return std::nullopt;
}

int watch(pid_t child, int signals, int told, int stopExit, int graceMilliseconds)
{
    using Clock = std::chrono::steady_clock;
    bool stopped = false;
    bool toldClosed = false;
    std::optional<int> outcome;
    Clock::time_point deadline{};
    for (;;) {
        int timeout = -1;
        if (stopped || outcome) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                // Dies when the kernel lets its stuck thread go; nobody needs to wait.
                ::kill(child, SIGKILL);
                return stopped ? stopExit : *outcome;
            }
            timeout = static_cast<int>(left);
        }
        pollfd fds[2] = {{signals, POLLIN, 0}, {toldClosed ? -1 : told, POLLIN, 0}};
        ::poll(fds, 2, timeout);
        if (!toldClosed && !outcome) {
            outcome = toldStatus(told, toldClosed);
            if (outcome && !stopped)
                deadline = Clock::now() + std::chrono::milliseconds(graceMilliseconds);
        }
        signalfd_siginfo info{};
        while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo == SIGCHLD)
                continue;
            ::kill(child, static_cast<int>(info.ssi_signo));
            if (!stopped && !outcome) {
                stopped = true;
                deadline = Clock::now() + std::chrono::milliseconds(graceMilliseconds);
            }
        }
        if (int status = reap(child); status >= 0)
            return stopped ? stopExit : outcome.value_or(status);
    }
}

} // namespace

int runInWatchedChild(const WatchedBody& body, int stopExit, int graceMilliseconds)
{
    sigset_t set = watchedSignals();
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &set, &before);
    UniqueFd signals(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    int ends[2] = {-1, -1};
    bool piped = ::pipe2(ends, O_CLOEXEC) == 0;
    UniqueFd told(ends[0]);
    UniqueFd tell(ends[1]);
    pid_t parent = ::getpid();
    pid_t child = signals && piped ? ::fork() : -1;
    if (child == 0) {
        signals.reset();
        told.reset();
        // A child whose watcher is gone (killed outright) must not go on reading the medium.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            std::_Exit(stopExit);
        sigset_t childMask = before;
        sigaddset(&childMask, SIGINT);
        sigaddset(&childMask, SIGTERM);
        sigdelset(&childMask, SIGCHLD);
        ::pthread_sigmask(SIG_SETMASK, &childMask, nullptr);
        int fd = tell.get();
        auto finished = [fd](int code) {
            unsigned char byte = static_cast<unsigned char>(code);
            (void)!::write(fd, &byte, 1);
        };
        int code = body(finished);
        finished(code);
        return code;
    }
    if (child < 0) {
        signals.reset();
        sigset_t mask = before;
        sigaddset(&mask, SIGINT);
        sigaddset(&mask, SIGTERM);
        ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
        return body([](int) {});
    }
    tell.reset();
    ::fcntl(told.get(), F_SETFL, O_NONBLOCK);
    return watch(child, signals.get(), told.get(), stopExit, graceMilliseconds);
}

} // namespace platform
