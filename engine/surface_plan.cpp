#include "engine/surface_plan.h"

#include <algorithm>

namespace engine {

SurfacePlan::SurfacePlan(SurfaceMap map, std::int64_t block, SurfacePlanSettings settings)
    : map_(std::move(map)), block_(block > 0 ? block : 512), settings_(settings), skip_(settings.firstSkip)
{
    settings_.requestSize = std::max(alignDown(settings_.requestSize), block_);
    settings_.depth = std::max(settings_.depth, 1);
}

char SurfacePlan::phaseLetter() const
{
    switch (phase_) {
    case Phase::Copy: return '?';
    case Phase::Trim: return '*';
    case Phase::Done: return '+';
    }
    return '?';
}

std::optional<SurfaceRequest> SurfacePlan::next()
{
    if (phase_ == Phase::Copy) {
        if (auto r = nextCopy())
            return r;
        if (inFlight_ > 0)
            return std::nullopt;
        phase_ = Phase::Trim;
        std::sort(units_.begin(), units_.end(),
                  [](const SurfaceRequest& a, const SurfaceRequest& b) { return a.pos < b.pos; });
    }
    if (phase_ == Phase::Trim) {
        if (inFlight_ > 0)
            return std::nullopt;
        if (auto r = nextTrim())
            return r;
        phase_ = Phase::Done;
    }
    return std::nullopt;
}

std::optional<SurfaceRequest> SurfacePlan::nextCopy()
{
    if (inFlight_ >= settings_.depth)
        return std::nullopt;
    SurfaceRequest r;
    if (!again_.empty()) {
        r = again_.front();
        again_.pop_front();
    } else {
        // Behind the cursor only this run's failures are left; before it, what an earlier
        // scan did not finish.
        auto b = map_.findUnfinishedFrom(cursor_);
        if (!b)
            return std::nullopt;
        // A map written with a smaller block than this device's is read in whole blocks.
        r.pos = alignDown(b->pos);
        std::int64_t end = std::min({alignUp(b->end()), r.pos + settings_.requestSize, map_.size()});
        r.length = end - r.pos;
        cursor_ = end;
    }
    ++inFlight_;
    currentPos_ = r.pos;
    return r;
}

void SurfacePlan::done(const SurfaceRequest& r, std::int64_t result)
{
    --inFlight_;
    if (phase_ == Phase::Copy)
        copyDone(r, result);
    else
        trimDone(r, result);
}

void SurfacePlan::copyDone(const SurfaceRequest& r, std::int64_t result)
{
    if (result >= r.length) {
        map_.set(r.pos, r.end(), BlockState::Finished);
        skip_ = settings_.firstSkip;
        return;
    }
    std::int64_t good = result > 0 ? alignDown(result) : 0;
    if (good > 0) {
        // A short read: the rest is asked for again by itself, which tells whether it fails.
        map_.set(r.pos, r.pos + good, BlockState::Finished);
        again_.push_back({r.pos + good, r.length - good});
        return;
    }
    map_.set(r.pos, r.end(), BlockState::NonTrimmed);
    units_.push_back(r);
    std::int64_t skipEnd = std::min(alignUp(r.end() + skip_), map_.size());
    skip_ = std::min(skip_ * 2, settings_.largestSkip);
    if (skipEnd > cursor_) {
        map_.change(cursor_, skipEnd, BlockState::NonTried, BlockState::NonTrimmed);
        units_.push_back({cursor_, skipEnd - cursor_});
        cursor_ = skipEnd;
    }
}

// The next non-trimmed piece within a unit, or, once the units are done, anywhere.
bool SurfacePlan::beginTrim()
{
    while (nextUnit_ < units_.size()) {
        const SurfaceRequest& u = units_[nextUnit_];
        auto b = map_.findFrom(u.pos, BlockState::NonTrimmed);
        if (b && b->pos < u.end()) {
            trim_ = Trim{alignDown(b->pos), alignUp(std::min(b->end(), u.end())), true, block_};
            return true;
        }
        ++nextUnit_;
    }
    auto b = map_.findFrom(0, BlockState::NonTrimmed);
    if (!b)
        return false;
    trim_ = Trim{alignDown(b->pos), alignUp(b->end()), true, block_};
    return true;
}

std::optional<SurfaceRequest> SurfacePlan::nextTrim()
{
    if (!trim_ && !beginTrim())
        return std::nullopt;
    Trim& t = *trim_;
    SurfaceRequest r;
    if (t.forward) {
        r.length = std::min(t.probe, t.back - t.front);
        r.pos = t.front;
    } else {
        r.length = std::min(t.probe, t.back - t.front);
        r.pos = t.back - r.length;
    }
    ++inFlight_;
    currentPos_ = r.pos;
    return r;
}

void SurfacePlan::trimDone(const SurfaceRequest& r, std::int64_t result)
{
    Trim& t = *trim_;
    if (result >= r.length) {
        map_.set(r.pos, r.end(), BlockState::Finished);
        if (t.forward)
            t.front = r.end();
        else
            t.back = r.pos;
        t.probe = std::min(t.probe * 2, settings_.requestSize);
        if (t.front >= t.back)
            trim_.reset();
        return;
    }
    if (r.length > block_) {
        t.probe = block_; // the failing block is in there: go on one block at a time
        return;
    }
    edgeFound(r.pos, r.end());
}

void SurfacePlan::edgeFound(std::int64_t badStart, std::int64_t badEnd)
{
    Trim& t = *trim_;
    map_.set(badStart, badEnd, BlockState::Bad);
    if (t.forward) {
        t.front = badEnd;
        t.forward = false;
        t.probe = block_;
        if (t.front >= t.back)
            trim_.reset();
        return;
    }
    map_.set(t.front, badStart, BlockState::NonScraped);
    trim_.reset();
}

} // namespace engine
