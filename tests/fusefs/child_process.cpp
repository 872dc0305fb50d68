#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testing_support {

namespace {

int memoryFile(const char* name)
{
    int fd = ::memfd_create(name, MFD_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(std::string("memfd_create: ") + std::strerror(errno));
    return fd;
}

std::string readAll(int fd)
{
    std::string text;
    char buf[65536];
    for (off_t at = 0;;) {
        ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

} // namespace

std::string ProcessResult::describe() const
{
    std::string how = timedOut ? "timed out and was killed"
        : termSignal != 0      ? "ended by signal " + std::to_string(termSignal)
                               : "exited with " + std::to_string(exitCode);
    return how + " after " + std::to_string(elapsed.count()) + " ms; stderr: [" + err + "]";
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv)
{
    outFd_ = memoryFile("stdout");
    errFd_ = memoryFile("stderr");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd_, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd_, 2);
    // Only what a shell would hand over: descriptors the test runner left open must not
    // count against a program's open-file limit.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    // A test runner started in the background may ignore SIGINT; the child must get the
    // default dispositions so that it can install its own handlers.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    started_ = std::chrono::steady_clock::now();
    int rc = ::posix_spawn(&pid_, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        ::close(outFd_);
        ::close(errFd_);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess()
{
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        reap(0);
    }
    ::close(outFd_);
    ::close(errFd_);
}

bool ChildProcess::reap(int options)
{
    if (reaped_)
        return true;
    pid_t r;
    do
        r = ::waitpid(pid_, &status_, options);
    while (r < 0 && errno == EINTR);
    if (r == pid_)
        reaped_ = true;
    return reaped_;
}

bool ChildProcess::running()
{
    return !reap(WNOHANG);
}

void ChildProcess::signal(int sig)
{
    if (!reaped_)
        ::kill(pid_, sig);
}

std::string ChildProcess::errSoFar() const
{
    return readAll(errFd_);
}

ProcessResult ChildProcess::wait(std::chrono::milliseconds timeout)
{
    ProcessResult result;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(pid_, SIGKILL);
            reap(0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    if (WIFEXITED(status_))
        result.exitCode = WEXITSTATUS(status_);
    else if (WIFSIGNALED(status_))
        result.termSignal = WTERMSIG(status_);
    if (result.timedOut) {
        result.exitCode = -1;
        result.termSignal = 0;
    }
    result.out = readAll(outFd_);
    result.err = readAll(errFd_);
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout)
{
    ChildProcess child(argv);
    return child.wait(timeout);
}

} // namespace testing_support
