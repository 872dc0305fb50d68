#include "tests/engine/fake_host.h"

#include <chrono>
#include <stdexcept>

namespace testing_support {

void FakeHost::processEvents(engine::YieldPoint where)
{
    ++counts_[where];
    if (onYield)
        onYield(where);
}

void FakeHost::waitForEvents(engine::YieldPoint where)
{
    if (where == engine::YieldPoint::Paused) {
        if (++pauseRounds > 1000)
            throw std::runtime_error("the pause never ended");
    } else {
        std::unique_lock lock(mutex_);
        if (!woken_.wait_for(lock, std::chrono::seconds(10), [&] { return wakePending_; }))
            throw std::runtime_error("the reader never woke the host");
        wakePending_ = false;
    }
    processEvents(where);
}

void FakeHost::wake()
{
    std::lock_guard lock(mutex_);
    wakePending_ = true;
    woken_.notify_all();
}

int FakeHost::count(engine::YieldPoint where) const
{
    auto it = counts_.find(where);
    return it == counts_.end() ? 0 : it->second;
}

} // namespace testing_support
