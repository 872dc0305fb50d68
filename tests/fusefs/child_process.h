#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
    bool timedOut = false;
    int exitCode = -1;  // the exit status, or -1 when the process did not exit by itself
    int termSignal = 0; // the signal that ended it, or 0
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};

    // One line for assertion messages: how it ended and what it wrote to stderr.
    std::string describe() const;
};

// A program run with stdin from /dev/null and stdout and stderr captured in memory files.
// A process still running when the object goes is killed and reaped, so a failing test never
// leaves one behind.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int sig);
    // Waits for the end; a process that outlives the timeout is killed and marked timed out.
    ProcessResult wait(std::chrono::milliseconds timeout);
    // What it has written to stderr so far.
    std::string errSoFar() const;

private:
    bool reap(int options);

    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    int outFd_ = -1;
    int errFd_ = -1;
    std::chrono::steady_clock::time_point started_;
};

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);

} // namespace testing_support
