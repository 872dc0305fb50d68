#pragma once
#include "engine/surface_map.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace engine {

struct SurfaceRequest {
    std::int64_t pos = 0;
    std::int64_t length = 0;
    std::int64_t end() const { return pos + length; }
};

struct SurfacePlanSettings {
    std::int64_t requestSize = 1 << 20;
    int depth = 8;                       // requests in flight while copying
    std::int64_t firstSkip = 64 << 10;   // after the first failure of a run of them
    std::int64_t largestSkip = 16 << 20; // bounds how far a bad area may hide good blocks
};

// Decides what a surface scan reads next, the way rescue tools do, and keeps the map.
// First every byte not finished is read front to back in large requests (so a map of an
// earlier scan goes on where it stopped and tries what failed once more, keeping its states
// until then); a failed request and
// the skip after it (which grows while reads keep failing, so a large bad area costs few
// slow failures) are left as non-trimmed, each a unit of its own. Then each unit is trimmed
// from both edges: from its front and from its back one block at a time, the probe doubling
// while reads succeed and falling back to one block when one fails, so that each bad area
// ends exact to the logical block. Units are trimmed apart, so two bad spots in neighbouring
// requests do not make one bad area of what lies between them. What lies between a unit's
// two failing edge blocks (at most one request or one skip) was not read block by block
// and stays non-scraped.
class SurfacePlan {
public:
    SurfacePlan(SurfaceMap map, std::int64_t block, SurfacePlanSettings settings = {});

    // The next read to submit, or nullopt: nothing now (wait for results) or finished().
    std::optional<SurfaceRequest> next();
    // The result of a request from next(): bytes read, or a negative errno.
    void done(const SurfaceRequest& r, std::int64_t result);

    bool finished() const { return phase_ == Phase::Done && inFlight_ == 0; }
    int inFlight() const { return inFlight_; }
    const SurfaceMap& map() const { return map_; }
    // For the mapfile's status line: '?' copying, '*' trimming, '+' finished.
    char phaseLetter() const;
    std::int64_t currentPos() const { return currentPos_; }

private:
    enum class Phase { Copy, Trim, Done };
    struct Trim {
        std::int64_t front = 0; // forward: the next byte to read
        std::int64_t back = 0;  // backward: the end of what is still unread
        bool forward = true;
        std::int64_t probe = 0;
    };

    std::optional<SurfaceRequest> nextCopy();
    std::optional<SurfaceRequest> nextTrim();
    bool beginTrim();
    void copyDone(const SurfaceRequest& r, std::int64_t result);
    void trimDone(const SurfaceRequest& r, std::int64_t result);
    void edgeFound(std::int64_t badStart, std::int64_t badEnd);
    std::int64_t alignDown(std::int64_t v) const { return v / block_ * block_; }
    std::int64_t alignUp(std::int64_t v) const { return (v + block_ - 1) / block_ * block_; }

    SurfaceMap map_;
    std::int64_t block_;
    SurfacePlanSettings settings_;
    Phase phase_ = Phase::Copy;
    std::int64_t cursor_ = 0;
    std::int64_t skip_;
    std::deque<SurfaceRequest> again_;  // the unread rest of short reads
    std::vector<SurfaceRequest> units_; // what failed, to be trimmed each apart
    std::size_t nextUnit_ = 0;
    std::optional<Trim> trim_;
    int inFlight_ = 0;
    std::int64_t currentPos_ = 0;
};

} // namespace engine
