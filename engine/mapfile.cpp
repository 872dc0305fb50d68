#include "engine/mapfile.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace engine {

namespace {

const char* phaseComment(char status)
{
    switch (status) {
    case '?': return "# Copying non-tried blocks... Pass 1 (forwards)";
    case '*': return "# Trimming failed blocks... (forwards)";
    case '+': return "# Finished";
    default: return "# Scanning";
    }
}

std::string hex(std::int64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%08" PRIX64, static_cast<std::uint64_t>(value));
    return text;
}

// ddrescue reads its numbers as C does (0x hexadecimal, 0 octal, otherwise decimal).
bool parseNumber(const std::string& token, std::int64_t& value)
{
    if (token.empty() || token[0] == '-' || token[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(token.c_str(), &end, 0);
    if (errno != 0 || end == token.c_str() || *end != '\0' || v > static_cast<unsigned long long>(INT64_MAX))
        return false;
    value = static_cast<std::int64_t>(v);
    return true;
}

bool isBlockState(const std::string& token)
{
    return token.size() == 1 && std::string("?*/-+").find(token[0]) != std::string::npos;
}

bool isCurrentStatus(const std::string& token)
{
    return token.size() == 1 && std::string("?*/-FG+").find(token[0]) != std::string::npos;
}

std::vector<std::string> tokens(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string t; in >> t;)
        out.push_back(t);
    return out;
}

bool parseStatusLine(const std::vector<std::string>& t, MapfileStatus& status)
{
    if (t.size() < 2 || t.size() > 3 || !parseNumber(t[0], status.currentPos) || !isCurrentStatus(t[1]))
        return false;
    status.currentStatus = t[1][0];
    if (t.size() == 3) {
        std::int64_t pass = 0;
        if (!parseNumber(t[2], pass) || pass < 1 || pass > 1000)
            return false;
        status.currentPass = static_cast<int>(pass);
    }
    return true;
}

} // namespace

std::string formatMapfile(const SurfaceMap& map, const MapfileStatus& status, const MapfileText& text)
{
    std::string out = "# Mapfile. Created by vorkan-cli\n";
    out += "# Command line: " + text.commandLine + "\n";
    out += "# Start time:   " + text.startTime + "\n";
    out += "# Current time: " + text.currentTime + "\n";
    out += std::string(phaseComment(status.currentStatus)) + "\n";
    out += "# current_pos  current_status  current_pass\n";
    out += hex(status.currentPos) + "     " + status.currentStatus + "               " +
        std::to_string(status.currentPass) + "\n";
    out += "#      pos        size  status\n";
    for (const auto& b : map.blocks())
        out += hex(b.pos) + "  " + hex(b.size) + "  " + static_cast<char>(b.state) + "\n";
    return out;
}

std::optional<ParsedMapfile> parseMapfile(const std::string& text, std::string& why)
{
    ParsedMapfile parsed;
    bool haveStatus = false;
    std::vector<MapBlock> blocks;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        auto t = tokens(line);
        if (t.empty() || t[0][0] == '#')
            continue;
        if (!haveStatus) {
            if (!parseStatusLine(t, parsed.status)) {
                why = "line " + std::to_string(number) + ": no status line";
                return std::nullopt;
            }
            haveStatus = true;
            continue;
        }
        MapBlock b;
        if (t.size() != 3 || !parseNumber(t[0], b.pos) || !parseNumber(t[1], b.size) || !isBlockState(t[2])) {
            why = "line " + std::to_string(number) + ": not a block line";
            return std::nullopt;
        }
        b.state = static_cast<BlockState>(t[2][0]);
        blocks.push_back(b);
    }
    if (blocks.empty()) {
        why = "no blocks";
        return std::nullopt;
    }
    auto map = SurfaceMap::fromBlocks(std::move(blocks));
    if (!map) {
        why = "blocks with a gap or an overlap";
        return std::nullopt;
    }
    parsed.map = std::move(*map);
    return parsed;
}

} // namespace engine
