#pragma once
#include "engine/damage_map.h"
#include "engine/findings.h"
#include "engine/surface_map.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// What a finished surface scan found, as the summary and the JSON document tell it.
struct SurfaceResult {
    std::string device;
    std::int64_t size = 0;
    int logicalBlock = 512;
    std::int64_t bytesRead = 0; // read back in this run (a resumed scan reads only the rest)
    double seconds = 0;
    SurfaceMap map;
    std::vector<SlowRead> slow;
    std::vector<ByteRange> slowRanges; // parallel to slow
    std::size_t slowDropped = 0;
    std::vector<SpeedSample> speed;
    std::vector<DamageHit> hits;
    std::size_t hitsDropped = 0;

    std::vector<ByteRange> badAreas() const { return map.unfinishedAreas(); }
    std::int64_t badBytes() const;
    // The damaged files in device order, each once.
    std::vector<std::string> damagedFiles() const;
};

// The summary lines for standard output, names shown safely.
std::vector<std::string> surfaceSummary(const SurfaceResult& r);

// The result as one UTF-8 JSON document, in the shape of the file tests' one.
std::string surfaceJson(const SurfaceResult& r);

} // namespace engine
