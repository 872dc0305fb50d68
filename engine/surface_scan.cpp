#include "engine/surface_scan.h"

#include "platform/read_queue.h"

#include <algorithm>
#include <chrono>

namespace engine {

namespace {

// The scan looks at its stop flags at least this often.
constexpr std::chrono::milliseconds kWaitAtMost{200};

constexpr std::size_t kDirectAlignment = 4096;

std::size_t alignedSize(std::size_t n)
{
    return (n + kDirectAlignment - 1) / kDirectAlignment * kDirectAlignment;
}

} // namespace

SurfaceScan::SurfaceScan(int fd, std::string deviceName, SurfaceMap map, std::int64_t block,
                         SurfaceScanSettings settings)
    : fd_(fd), deviceName_(std::move(deviceName)), settings_(settings), plan_(std::move(map), block, settings.plan)
{
    std::size_t depth = static_cast<std::size_t>(std::max(settings_.plan.depth, 1));
    std::size_t each = alignedSize(static_cast<std::size_t>(std::max(settings_.plan.requestSize, block)));
    settings_.plan.requestSize = static_cast<std::int64_t>(each);
    buffers_.reset(static_cast<char*>(std::aligned_alloc(kDirectAlignment, depth * each)));
    if (!buffers_)
        throw std::bad_alloc();
    slots_.resize(depth);
    refreshSettled();
}

SurfaceScan::~SurfaceScan() = default;

void SurfaceScan::refreshSettled()
{
    const SurfaceMap& m = plan_.map();
    settled_ = m.bytesIn(BlockState::Finished) + m.bytesIn(BlockState::Bad) + m.bytesIn(BlockState::NonScraped);
}

SurfaceScan::Snapshot SurfaceScan::snapshot() const
{
    std::lock_guard lock(mutex_);
    return {plan_.map(), {plan_.currentPos(), plan_.phaseLetter(), 1}};
}

void SurfaceScan::pause(bool paused)
{
    {
        std::lock_guard lock(pauseMutex_);
        paused_ = paused;
    }
    pauseChanged_.notify_all();
}

bool SurfaceScan::pausedNow()
{
    std::lock_guard lock(pauseMutex_);
    return paused_;
}

void SurfaceScan::waitWhilePaused()
{
    std::unique_lock lock(pauseMutex_);
    pauseChanged_.wait(lock, [this] { return !paused_ || stop_ || abandon_; });
}

void SurfaceScan::submitWhatCan(platform::ReadQueue& queue)
{
    if (pausedNow())
        return;
    std::lock_guard lock(mutex_);
    const std::size_t each = static_cast<std::size_t>(settings_.plan.requestSize);
    for (std::size_t i = 0; i < slots_.size() && !stop_; ++i) {
        if (slots_[i].busy)
            continue;
        auto r = plan_.next();
        if (!r)
            break;
        slots_[i] = {*r, std::chrono::steady_clock::now(), true};
        position_ = r->pos;
        queue.submit(fd_, buffers_.get() + i * each, static_cast<std::size_t>(r->length), r->pos, i);
    }
}

void SurfaceScan::take(std::uint64_t tag, std::int64_t result)
{
    if (tag >= slots_.size() || !slots_[tag].busy)
        return;
    Slot& slot = slots_[tag];
    slot.busy = false;
    auto now = std::chrono::steady_clock::now();
    double seconds = std::chrono::duration<double>(now - slot.submitted).count();
    if (result > 0)
        bytesRead_ += std::min(result, slot.request.length);
    if (seconds >= settings_.slowSeconds) {
        if (slow_.size() < kSlowReadsKept) {
            slow_.push_back(
                {deviceName_, slot.request.pos, seconds, std::chrono::duration<double>(now - began_).count()});
            slowRanges_.emplace_back(slot.request.pos, slot.request.end());
        } else
            ++slowDropped_;
    }
    std::lock_guard lock(mutex_);
    plan_.done(slot.request, result);
    refreshSettled();
}

SurfaceScan::End SurfaceScan::run(platform::ReadQueue& queue)
{
    began_ = std::chrono::steady_clock::now();
    std::vector<platform::ReadDone> done;
    for (;;) {
        bool idle = false;
        {
            std::lock_guard lock(mutex_);
            idle = plan_.inFlight() == 0;
        }
        if (idle)
            waitWhilePaused();
        submitWhatCan(queue);
        {
            std::lock_guard lock(mutex_);
            if (plan_.finished())
                return End::Finished;
            if (plan_.inFlight() == 0 && !stop_ && pausedNow())
                continue; // paused between the look above and the submitting
            if (plan_.inFlight() == 0)
                return stop_ ? End::Stopped : End::Finished;
        }
        done.clear();
        queue.wait(done, kWaitAtMost); // a wake, a result or this, whichever comes first
        for (const auto& d : done)
            take(d.tag, d.result);
        if (abandon_) {
            std::lock_guard lock(mutex_);
            if (plan_.inFlight() > 0)
                return End::Abandoned;
        }
    }
}

} // namespace engine
