#include "engine/surface_map.h"

#include <algorithm>

namespace engine {

SurfaceMap::SurfaceMap(std::int64_t size) : size_(size)
{
    if (size > 0)
        blocks_.push_back({0, size, BlockState::NonTried});
}

std::size_t SurfaceMap::indexAt(std::int64_t pos) const
{
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), pos,
                               [](std::int64_t p, const MapBlock& b) { return p < b.pos; });
    return static_cast<std::size_t>(it - blocks_.begin()) - 1;
}

void SurfaceMap::splitAt(std::int64_t pos)
{
    if (pos <= 0 || pos >= size_)
        return;
    std::size_t i = indexAt(pos);
    MapBlock& b = blocks_[i];
    if (b.pos == pos)
        return;
    MapBlock tail{pos, b.end() - pos, b.state};
    b.size = pos - b.pos;
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
}

void SurfaceMap::mergeAround(std::size_t first, std::size_t last)
{
    std::size_t from = first == 0 ? 0 : first - 1;
    std::size_t to = std::min(last + 1, blocks_.size() - 1);
    std::vector<MapBlock> merged;
    for (std::size_t i = from; i <= to; ++i) {
        if (!merged.empty() && merged.back().state == blocks_[i].state)
            merged.back().size += blocks_[i].size;
        else
            merged.push_back(blocks_[i]);
    }
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(from),
                  blocks_.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(from), merged.begin(), merged.end());
}

// The blocks that cover [start, end) within the device, split at both edges: the first and
// the last index; nothing when the range holds no byte of it.
std::optional<std::pair<std::size_t, std::size_t>> SurfaceMap::isolate(std::int64_t start, std::int64_t end)
{
    start = std::max<std::int64_t>(start, 0);
    end = std::min(end, size_);
    if (start >= end)
        return std::nullopt;
    splitAt(start);
    splitAt(end);
    return std::pair{indexAt(start), indexAt(end - 1)};
}

void SurfaceMap::change(std::int64_t start, std::int64_t end, BlockState from, BlockState to)
{
    auto range = isolate(start, end);
    if (!range)
        return;
    auto [first, last] = *range;
    for (std::size_t i = first; i <= last; ++i) {
        if (blocks_[i].state == from)
            blocks_[i].state = to;
    }
    mergeAround(first, last);
}

void SurfaceMap::set(std::int64_t start, std::int64_t end, BlockState state)
{
    auto range = isolate(start, end);
    if (!range)
        return;
    auto [first, last] = *range;
    std::int64_t from = blocks_[first].pos;
    std::int64_t to = blocks_[last].end();
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                  blocks_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    blocks_[first] = {from, to - from, state};
    mergeAround(first, first);
}

void SurfaceMap::changeAll(BlockState from, BlockState to)
{
    for (auto& b : blocks_) {
        if (b.state == from)
            b.state = to;
    }
    if (!blocks_.empty())
        mergeAround(0, blocks_.size() - 1);
}

std::optional<MapBlock> SurfaceMap::findFrom(std::int64_t pos, BlockState state) const
{
    if (pos >= size_)
        return std::nullopt;
    for (std::size_t i = indexAt(std::max<std::int64_t>(pos, 0)); i < blocks_.size(); ++i) {
        MapBlock b = blocks_[i];
        if (b.state != state)
            continue;
        if (b.pos < pos) {
            b.size = b.end() - pos;
            b.pos = pos;
        }
        return b;
    }
    return std::nullopt;
}

std::optional<MapBlock> SurfaceMap::findUnfinishedFrom(std::int64_t pos) const
{
    if (pos >= size_)
        return std::nullopt;
    std::optional<MapBlock> run;
    for (std::size_t i = indexAt(std::max<std::int64_t>(pos, 0)); i < blocks_.size(); ++i) {
        const MapBlock& b = blocks_[i];
        if (b.state == BlockState::Finished) {
            if (run)
                break;
            continue;
        }
        std::int64_t start = std::max(b.pos, pos);
        if (!run)
            run = MapBlock{start, b.end() - start, b.state};
        else
            run->size = b.end() - run->pos;
    }
    return run;
}

BlockState SurfaceMap::stateAt(std::int64_t pos) const
{
    return blocks_[indexAt(pos)].state;
}

std::int64_t SurfaceMap::bytesIn(BlockState state) const
{
    std::int64_t total = 0;
    for (const auto& b : blocks_) {
        if (b.state == state)
            total += b.size;
    }
    return total;
}

std::vector<std::pair<std::int64_t, std::int64_t>> SurfaceMap::unfinishedAreas() const
{
    std::vector<std::pair<std::int64_t, std::int64_t>> areas;
    for (const auto& b : blocks_) {
        if (b.state == BlockState::Finished)
            continue;
        if (!areas.empty() && areas.back().second == b.pos)
            areas.back().second = b.end();
        else
            areas.emplace_back(b.pos, b.end());
    }
    return areas;
}

std::optional<SurfaceMap> SurfaceMap::fromBlocks(std::vector<MapBlock> blocks)
{
    SurfaceMap map;
    std::int64_t at = 0;
    for (const auto& b : blocks) {
        if (b.pos != at || b.size <= 0 || b.size > INT64_MAX - b.pos)
            return std::nullopt;
        at = b.end();
        if (!map.blocks_.empty() && map.blocks_.back().state == b.state)
            map.blocks_.back().size += b.size;
        else
            map.blocks_.push_back(b);
    }
    map.size_ = at;
    return map;
}

} // namespace engine
