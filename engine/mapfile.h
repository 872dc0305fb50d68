#pragma once
#include "engine/surface_map.h"

#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// Where a scan stood when its map was written: the status line of a GNU ddrescue mapfile.
struct MapfileStatus {
    std::int64_t currentPos = 0;
    char currentStatus = '?'; // '?' copying, '*' trimming, '+' finished (ddrescue's letters)
    int currentPass = 1;
};

struct MapfileText {
    std::string commandLine; // shown in a comment
    std::string startTime;   // "YYYY-MM-DD HH:MM:SS"
    std::string currentTime;
};

// The text of a GNU ddrescue mapfile (the layout of ddrescue 1.27): comments, the status
// line, then one "pos size status" line per block, in hexadecimal.
std::string formatMapfile(const SurfaceMap& map, const MapfileStatus& status, const MapfileText& text);

struct ParsedMapfile {
    SurfaceMap map;
    MapfileStatus status;
};

// Reads a mapfile as ddrescue writes it; nullopt with why set when it is not one: a line
// that does not parse, a state letter it does not know, blocks that leave a gap, overlap,
// or do not begin at 0.
std::optional<ParsedMapfile> parseMapfile(const std::string& text, std::string& why);

} // namespace engine
