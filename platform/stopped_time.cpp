#include "platform/stopped_time.h"

namespace platform {

// The part of the time since the last beat that the process cannot have run.
StoppedTime::Clock::duration StoppedTime::Shared::pending(Clock::time_point now) const
{
    auto since = now - lastBeat;
    return since > kBeat + kStoppedBeyond ? since - kBeat : Clock::duration::zero();
}

StoppedTime::StoppedTime() : shared_(std::make_shared<Shared>())
{
    shared_->lastBeat = Clock::now();
    thread_ = std::thread([s = shared_] {
        std::unique_lock lock(s->mutex);
        while (!s->end) {
            s->ending.wait_for(lock, kBeat, [&] { return s->end; });
            auto now = Clock::now();
            s->total += s->pending(now);
            s->lastBeat = now;
        }
    });
}

StoppedTime::~StoppedTime()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->end = true;
    }
    shared_->ending.notify_all();
    thread_.join(); // it only ever sleeps
}

StoppedTime::Clock::duration StoppedTime::total() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->total + shared_->pending(Clock::now());
}

} // namespace platform
