#include "engine/findings.h"

namespace engine {

const char* kindName(Finding::Kind kind)
{
    switch (kind) {
    case Finding::Kind::Open: return "open";
    case Finding::Kind::Read: return "read";
    case Finding::Kind::Short: return "short";
    case Finding::Kind::Grown: return "grown";
    case Finding::Kind::Directory: return "directory";
    case Finding::Kind::Checksum: return "checksum";
    case Finding::Kind::Missing: return "missing";
    }
    return "read";
}

void Finding::addRange(std::int64_t start, std::int64_t end)
{
    unreadableBytes += end - start;
    if (!ranges.empty() && (ranges.size() >= kRangesKept || ranges.back().second >= start))
        ranges.back().second = end;
    else
        ranges.emplace_back(start, end);
}

void SpeedCurve::add(double seconds, double bytesPerSecond)
{
    if (pendingTicks_ == 0)
        pending_ = {seconds, 0};
    pending_.bytesPerSecond += bytesPerSecond;
    if (++pendingTicks_ < ticksPerSample_)
        return;
    pending_.bytesPerSecond /= static_cast<double>(pendingTicks_);
    samples_.push_back(pending_);
    pendingTicks_ = 0;
    if (samples_.size() >= capacity_)
        halve();
}

// Each merged sample keeps the time of its first tick and the mean speed of both.
void SpeedCurve::halve()
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i + 1 < samples_.size(); i += 2)
        samples_[kept++] = {samples_[i].seconds, (samples_[i].bytesPerSecond + samples_[i + 1].bytesPerSecond) / 2};
    if (samples_.size() % 2 != 0)
        samples_[kept++] = samples_.back();
    samples_.resize(kept);
    ticksPerSample_ *= 2;
}

void SpeedCurve::clear()
{
    samples_.clear();
    ticksPerSample_ = 1;
    pendingTicks_ = 0;
}

void Findings::clear()
{
    items.clear();
    slow.clear();
    slowDropped = 0;
    speed.clear();
    bytesRead = 0;
    vanished = 0;
    surface = false;
    hits.clear();
    hitsDropped = 0;
}

} // namespace engine
