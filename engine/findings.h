#pragma once
#include "engine/damage_map.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine {

// Why and where one entry of the error list failed. The error list is the paths of the
// findings in order, and is only ever filled with them.
struct Finding {
    enum class Kind {
        Open,      // the file could not be opened (or was no regular file, or had a writer)
        Read,      // a read failed
        Short,     // the file gave fewer bytes than it was listed with
        Grown,     // listed as empty, but it holds data now
        Directory, // a directory could not be opened or listed to its end
        Checksum,  // read back whole without an error, but not what a manifest says
        Missing,   // a manifest names a file the tested object does not hold
    };
    Kind kind = Kind::Read;
    std::string path;                   // the entry of the error list
    std::string error;                  // the system's text of the failure; empty where none
    std::optional<std::int64_t> offset; // Read, Short: the first byte that could not be read
    // Mapped damage (Read, when mapping): the unreadable [start, end) ranges in file order
    // and their total.
    bool mapped = false;
    std::int64_t unreadableBytes = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    // Checksum, Missing: the manifest line; Checksum also what it said and what was read
    // (hex digests, or sizes when the algorithm is "size").
    struct ManifestLine {
        std::string manifest;
        std::uint32_t line = 0;
        std::string algorithm;
        std::string expected;
        std::string actual;
    };
    std::optional<ManifestLine> manifestLine;

    static Finding of(Kind kind, std::string error, std::optional<std::int64_t> offset)
    {
        Finding f;
        f.kind = kind;
        f.error = std::move(error);
        f.offset = offset;
        return f;
    }
    // Beyond a bound the last range grows over the next (the total stays exact).
    void addRange(std::int64_t start, std::int64_t end);
};

const char* kindName(Finding::Kind kind);

// A read request that took long: a medium retrying a sector is about to fail.
struct SlowRead {
    std::string path;
    std::int64_t offset = 0;
    double seconds = 0;
    // When the read came back, in seconds since the read phase began, on the clock of the
    // speed curve, so the curve can show where it stalled.
    double atSeconds = 0;
};

struct SpeedSample {
    double seconds = 0; // since the read phase began
    double bytesPerSecond = 0;
};

// One sample per timer tick of the read phase in bounded memory: when it is full, pairs of
// neighbours merge and from then on each sample stands for twice as many ticks.
class SpeedCurve {
public:
    explicit SpeedCurve(std::size_t capacity = 4096) : capacity_(capacity < 2 ? 2 : capacity) {}
    void add(double seconds, double bytesPerSecond);
    const std::vector<SpeedSample>& samples() const { return samples_; }
    void clear();

private:
    void halve();

    std::size_t capacity_;
    std::vector<SpeedSample> samples_;
    std::size_t ticksPerSample_ = 1;
    SpeedSample pending_;
    std::size_t pendingTicks_ = 0;
};

// What a run found beyond the error list; reset by every Start.
struct Findings {
    std::vector<Finding> items; // the error list, each entry with why and where it failed
    std::vector<SlowRead> slow;
    std::size_t slowDropped = 0; // beyond the bound of slow
    SpeedCurve speed;
    std::int64_t bytesRead = 0; // read back in full units, as the engine counted them
    // Files the counting found that the read phase no longer did (deleted meanwhile); they
    // are neither tested nor in the error list.
    std::int64_t vanished = 0;
    // A surface scan: what lies on each bad area and slow read of the device.
    bool surface = false;
    std::vector<DamageHit> hits;
    std::size_t hitsDropped = 0;

    void clear();
};

// How many unreadable ranges one finding keeps apart.
inline constexpr std::size_t kRangesKept = 1000;

// How many slow reads a run keeps; a medium that is slow everywhere says so in the first few.
inline constexpr std::size_t kSlowReadsKept = 10000;

} // namespace engine
