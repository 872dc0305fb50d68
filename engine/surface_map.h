#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine {

// What is known of each byte of a device, in the block states of GNU ddrescue, so that the
// map can be written as its mapfile and read back from one.
enum class BlockState : char {
    NonTried = '?',
    NonTrimmed = '*',
    NonScraped = '/',
    Bad = '-',
    Finished = '+',
};

struct MapBlock {
    std::int64_t pos = 0;
    std::int64_t size = 0;
    BlockState state = BlockState::NonTried;
    std::int64_t end() const { return pos + size; }
};

// The whole device [0, size) as a sorted list of blocks; neighbours of one state merge, so
// a scan with few bad areas keeps few blocks.
class SurfaceMap {
public:
    SurfaceMap() = default;
    explicit SurfaceMap(std::int64_t size);

    std::int64_t size() const { return size_; }
    const std::vector<MapBlock>& blocks() const { return blocks_; }

    void set(std::int64_t start, std::int64_t end, BlockState state);
    // Only the bytes of [start, end) that are in state from take state to.
    void change(std::int64_t start, std::int64_t end, BlockState from, BlockState to);
    // Every block in state from takes state to.
    void changeAll(BlockState from, BlockState to);

    // The first block in state at or after pos, cut to begin at pos.
    std::optional<MapBlock> findFrom(std::int64_t pos, BlockState state) const;
    // The first run of blocks not finished at or after pos, cut to begin at pos.
    std::optional<MapBlock> findUnfinishedFrom(std::int64_t pos) const;
    BlockState stateAt(std::int64_t pos) const;
    std::int64_t bytesIn(BlockState state) const;
    // The runs of bytes not finished: [start, end) each.
    std::vector<std::pair<std::int64_t, std::int64_t>> unfinishedAreas() const;

    // Built from blocks that must cover [0, size) without gap or overlap.
    static std::optional<SurfaceMap> fromBlocks(std::vector<MapBlock> blocks);

private:
    std::size_t indexAt(std::int64_t pos) const;
    void splitAt(std::int64_t pos);
    void mergeAround(std::size_t first, std::size_t last);
    std::optional<std::pair<std::size_t, std::size_t>> isolate(std::int64_t start, std::int64_t end);

    std::int64_t size_ = 0;
    std::vector<MapBlock> blocks_;
};

} // namespace engine
