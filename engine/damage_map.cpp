#include "engine/damage_map.h"

#include <algorithm>

namespace engine {

DamageMap::DamageMap(std::vector<ByteRange> ranges)
{
    std::sort(ranges.begin(), ranges.end());
    for (const auto& r : ranges) {
        if (r.first >= r.second)
            continue;
        if (!ranges_.empty() && r.first <= ranges_.back().second)
            ranges_.back().second = std::max(ranges_.back().second, r.second);
        else
            ranges_.push_back(r);
    }
}

void DamageMap::addExtent(const std::string& path, std::int64_t logical, std::int64_t physical, std::int64_t length)
{
    std::int64_t end = physical + length;
    // The first range that ends after the extent begins.
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), physical,
                               [](std::int64_t p, const ByteRange& r) { return p < r.second; });
    for (; it != ranges_.end() && it->first < end; ++it) {
        std::int64_t s = std::max(physical, it->first);
        std::int64_t e = std::min(end, it->second);
        claim(s, e);
        if (fileHits_.size() < kDamageHitsKept)
            fileHits_.push_back({s, e, path, logical + (s - physical), {}});
        else
            ++dropped_;
    }
}

void DamageMap::claim(std::int64_t start, std::int64_t end)
{
    auto it = claimed_.upper_bound(start);
    if (it != claimed_.begin() && std::prev(it)->second >= start) {
        --it;
        start = it->first;
        end = std::max(end, it->second);
        it = claimed_.erase(it);
    }
    while (it != claimed_.end() && it->first <= end) {
        end = std::max(end, it->second);
        it = claimed_.erase(it);
    }
    claimed_.emplace(start, end);
}

std::vector<DamageHit> DamageMap::hits(const AreaClassifier& classify) const
{
    std::vector<DamageHit> out = fileHits_;
    auto addUnclaimed = [&](std::int64_t s, std::int64_t e) {
        for (const auto& [piece, kind] : classify({s, e}))
            out.push_back({piece.first, piece.second, {}, 0, kind});
    };
    for (const auto& [start, end] : ranges_) {
        std::int64_t at = start;
        auto it = claimed_.upper_bound(start);
        if (it != claimed_.begin())
            --it;
        for (; it != claimed_.end() && it->first < end; ++it) {
            if (it->second <= at)
                continue;
            if (it->first > at)
                addUnclaimed(at, it->first);
            at = std::max(at, it->second);
        }
        if (at < end)
            addUnclaimed(at, end);
    }
    std::stable_sort(out.begin(), out.end(), [](const DamageHit& a, const DamageHit& b) {
        return a.start != b.start ? a.start < b.start : a.path < b.path;
    });
    return out;
}

AreaClassifier unknownAreas()
{
    return [](const ByteRange& r) { return std::vector<std::pair<ByteRange, std::string>>{{r, "unknown"}}; };
}

} // namespace engine
