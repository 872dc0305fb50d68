#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace engine {

using ByteRange = std::pair<std::int64_t, std::int64_t>; // [start, end) on the device

// One piece of damage and what lies there: a file (path and the offset of start in it) or,
// where no file claims it, the kind of area ("free", "metadata" or "unknown").
struct DamageHit {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::string path;            // empty: not a file
    std::int64_t fileOffset = 0; // for a file
    std::string area;            // for anything else
};

// Tells what lies in a piece of the device that no file claims, split where that changes.
using AreaClassifier = std::function<std::vector<std::pair<ByteRange, std::string>>(const ByteRange&)>;

// Collects which files lie on the damaged ranges of a device from their extents, one file
// after another, in memory bounded by the hits rather than by the files.
class DamageMap {
public:
    // ranges may overlap and come in any order: they are merged.
    explicit DamageMap(std::vector<ByteRange> ranges);

    bool empty() const { return ranges_.empty(); }
    // One extent of path on the device; compared with the ranges at once.
    void addExtent(const std::string& path, std::int64_t logical, std::int64_t physical, std::int64_t length);

    // Every hit in device order; the pieces that no file claimed are told by classify.
    std::vector<DamageHit> hits(const AreaClassifier& classify) const;
    std::size_t hitsDropped() const { return dropped_; }
    const std::vector<ByteRange>& ranges() const { return ranges_; }

private:
    void claim(std::int64_t start, std::int64_t end);

    std::vector<ByteRange> ranges_;
    std::vector<DamageHit> fileHits_;
    std::map<std::int64_t, std::int64_t> claimed_; // merged [start, end) covered by files
    std::size_t dropped_ = 0;
};

// How many file hits a result keeps; a device that is bad everywhere says so in the first.
inline constexpr std::size_t kDamageHitsKept = 100000;

AreaClassifier unknownAreas();

} // namespace engine
