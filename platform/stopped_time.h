#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

// How long the process has not run (stopped by SIGSTOP or Ctrl+Z, or starved), told by a
// thread that only sleeps, beat after beat: a sleep that ends much later than its beat did
// not run meanwhile. Time that other threads spend blocked on a medium is never taken for a
// stop. A stop that has just ended counts before this thread has woken from it.
class StoppedTime {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kBeat{100};
    static constexpr std::chrono::milliseconds kStoppedBeyond{400};

    StoppedTime();
    ~StoppedTime();
    StoppedTime(const StoppedTime&) = delete;
    StoppedTime& operator=(const StoppedTime&) = delete;

    // All told since it was made, up to now; never smaller than an earlier answer.
    Clock::duration total() const;

private:
    // The part of the time since the last beat that the process cannot have run.
    Clock::duration pending(Clock::time_point now) const;

    mutable std::mutex mutex_;
    std::condition_variable ending_;
    bool end_ = false;
    Clock::time_point lastBeat_ = Clock::now();
    Clock::duration total_{};
    std::thread thread_; // last: it starts once the rest is there
};

} // namespace platform
