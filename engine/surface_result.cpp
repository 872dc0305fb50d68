#include "engine/surface_result.h"

#include "common/encoding.h"
#include "engine/details_view.h"
#include "engine/findings_json.h"
#include "engine/surface_texts.h"

#include <cmath>
#include <set>

namespace engine {

namespace {

std::string rangeList(const std::vector<ByteRange>& ranges)
{
    std::string out = "[";
    for (std::size_t i = 0; i < ranges.size(); ++i)
        out += (i == 0 ? "[" : ", [") + std::to_string(ranges[i].first) + ", " + std::to_string(ranges[i].second) + "]";
    return out + "]";
}

std::string slowList(const SurfaceResult& r)
{
    std::string out = "[";
    for (std::size_t i = 0; i < r.slow.size(); ++i) {
        const SlowRead& s = r.slow[i];
        std::int64_t end = i < r.slowRanges.size() ? r.slowRanges[i].second : s.offset;
        out += i == 0 ? "\n    {" : ",\n    {";
        out += jsonNamedText("path", s.path) + ", \"offset\": " + std::to_string(s.offset) +
            ", \"end\": " + std::to_string(end) + ", \"seconds\": " + jsonNumber(s.seconds) +
            ", \"at_seconds\": " + jsonNumber(s.atSeconds) + "}";
    }
    return out + (r.slow.empty() ? "]" : "\n  ]");
}

std::string speedList(const std::vector<SpeedSample>& samples)
{
    std::string out = "[";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out += i == 0 ? "" : ", ";
        out += "[" + jsonNumber(samples[i].seconds) + ", " + jsonNumber(std::round(samples[i].bytesPerSecond)) + "]";
    }
    return out + "]";
}

std::string hitList(const std::vector<DamageHit>& hits)
{
    std::string out = "[";
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const DamageHit& h = hits[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        out += "\"start\": " + std::to_string(h.start) + ", \"end\": " + std::to_string(h.end);
        if (!h.path.empty())
            out += ", " + jsonNamedText("path", h.path) + ", \"file_offset\": " + std::to_string(h.fileOffset) + "}";
        else
            out += ", \"area\": " + jsonString(h.area) + "}";
    }
    return out + (hits.empty() ? "]" : "\n  ]");
}

} // namespace

std::int64_t SurfaceResult::badBytes() const
{
    std::int64_t total = 0;
    for (const auto& [s, e] : badAreas())
        total += e - s;
    return total;
}

std::vector<std::string> SurfaceResult::damagedFiles() const
{
    std::vector<std::string> files;
    std::set<std::string> seen;
    for (const auto& h : hits) {
        if (!h.path.empty() && seen.insert(h.path).second)
            files.push_back(h.path);
    }
    return files;
}

std::vector<std::string> surfaceSummary(const SurfaceResult& r)
{
    auto areas = r.badAreas();
    std::vector<std::string> lines{
        texts::kPovrchTitle,
        texts::kPovrchZarizeni + common::shownName(r.device),
        texts::kPovrchVelikost + std::to_string(r.size) + texts::kBajtu,
        texts::kPovrchBlok + std::to_string(r.logicalBlock) + texts::kBajtu,
        texts::kPovrchPrecteno + std::to_string(r.bytesRead) + texts::kBajtu,
        texts::kPovrchVadne + std::to_string(r.badBytes()) + texts::kBajtu,
        texts::kPovrchOblasti + std::to_string(areas.size()),
        texts::kPovrchPomala + std::to_string(r.slow.size() + r.slowDropped),
    };
    if (!areas.empty()) {
        lines.push_back(texts::kPovrchVadneOblasti);
        for (const auto& [s, e] : areas) {
            std::string line =
                std::to_string(s) + " - " + std::to_string(e) + " (" + std::to_string(e - s) + texts::kBajtu + ")";
            std::set<std::string> kinds;
            for (const auto& h : r.hits) {
                if (h.path.empty() && h.start < e && h.end > s)
                    kinds.insert(areaText(h.area));
            }
            for (const auto& k : kinds)
                line += ", " + k;
            lines.push_back(line);
        }
    }
    auto files = r.damagedFiles();
    if (!files.empty()) {
        lines.push_back(texts::kPovrchPoskozeneSoubory);
        for (const auto& f : files)
            lines.push_back(common::shownName(f));
    }
    return lines;
}

std::string surfaceJson(const SurfaceResult& r)
{
    std::string out = "{\n  \"version\": 1,\n";
    out += "  \"object\": {\"kind\": \"device\", " + jsonNamedText("location", r.device) + "},\n";
    out += "  \"test\": \"surface\",\n";
    out += "  \"size\": " + std::to_string(r.size) + ",\n";
    out += "  \"logical_block\": " + std::to_string(r.logicalBlock) + ",\n";
    out += "  \"seconds\": " + jsonNumber(std::round(r.seconds)) + ",\n";
    out += "  \"bytes_read\": " + std::to_string(r.bytesRead) + ",\n";
    out += "  \"bad_bytes\": " + std::to_string(r.badBytes()) + ",\n";
    out += "  \"bad\": " + rangeList(r.badAreas()) + ",\n";
    out += "  \"slow\": " + slowList(r) + ",\n";
    out += "  \"speed\": " + speedList(r.speed) + ",\n";
    out += "  \"hits\": " + hitList(r.hits) + "\n}\n";
    return out;
}

} // namespace engine
