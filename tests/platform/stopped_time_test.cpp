// The time the process did not run, told apart from time a thread spends blocked.
#include "platform/stopped_time.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Stops this process for about `stopped` from a child of its own, as Ctrl+Z and fg would.
void stopThisProcessFor(std::chrono::milliseconds stopped)
{
    const pid_t self = ::getpid();
    pid_t child = ::fork();
    if (child == 0) {
        ::kill(self, SIGSTOP);
        ::usleep(static_cast<useconds_t>(std::chrono::microseconds(stopped).count()));
        ::kill(self, SIGCONT);
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0); // returns once continued and the child is gone
}

} // namespace

TEST(StoppedTime, a_thread_blocked_for_long_is_no_stop_but_a_stopped_process_is)
{
    platform::StoppedTime stopped;
    std::this_thread::sleep_for(1200ms); // as a read that waits for a slow medium
    EXPECT_EQ(stopped.total(), platform::StoppedTime::Clock::duration::zero());

    stopThisProcessFor(1500ms);
    auto first = stopped.total();
    EXPECT_GE(first, 1000ms);
    EXPECT_LE(first, 3000ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_GE(stopped.total(), first); // the beat after the stop adds nothing twice
    EXPECT_LE(stopped.total() - first, 100ms);
}
