#include "platform/stopped_time.h"

namespace platform {

StoppedTime::Clock::duration StoppedTime::pending(Clock::time_point now) const
{
    auto since = now - lastBeat_;
    return since > kBeat + kStoppedBeyond ? since - kBeat : Clock::duration::zero();
}

StoppedTime::StoppedTime()
    : thread_([this] {
          std::unique_lock lock(mutex_);
          while (!end_) {
              ending_.wait_for(lock, kBeat, [this] { return end_; });
              auto now = Clock::now();
              total_ += pending(now);
              lastBeat_ = now;
          }
      })
{}

StoppedTime::~StoppedTime()
{
    {
        std::lock_guard lock(mutex_);
        end_ = true;
    }
    ending_.notify_all();
    thread_.join(); // it only ever sleeps
}

StoppedTime::Clock::duration StoppedTime::total() const
{
    std::lock_guard lock(mutex_);
    return total_ + pending(Clock::now());
}

} // namespace platform
