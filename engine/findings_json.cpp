#include "engine/findings_json.h"

#include "common/encoding.h"
#include "engine/verification_json.h"

#include "engine/vorkan_engine.h"

#include <cmath>
#include <cstdio>

namespace engine {

namespace {

std::string optionalNumber(const std::optional<std::int64_t>& value)
{
    return value ? std::to_string(*value) : "null";
}

const char* objectName(TestObject object)
{
    switch (object) {
    case TestObject::Jednotka: return "drive";
    case TestObject::Adresar: return "directory";
    case TestObject::Soubor: return "file";
    }
    return "file";
}

std::string rangeList(const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges)
{
    std::string out = "[";
    for (std::size_t i = 0; i < ranges.size(); ++i)
        out += (i == 0 ? "[" : ", [") + std::to_string(ranges[i].first) + ", " + std::to_string(ranges[i].second) + "]";
    return out + "]";
}

std::string findingsList(const std::vector<Finding>& items)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Finding& f = items[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        out += jsonNamedText("path", f.path);
        out += std::string(", \"kind\": \"") + kindName(f.kind) + "\"";
        out += ", \"error\": " + (f.error.empty() ? std::string("null") : jsonString(f.error));
        out += ", \"offset\": " + optionalNumber(f.offset);
        out += ", \"unreadable_bytes\": " + (f.mapped ? std::to_string(f.unreadableBytes) : std::string("null"));
        out += ", \"ranges\": " + (f.mapped ? rangeList(f.ranges) : std::string("null"));
        out += manifestLineFields(f) + "}";
    }
    return out + (items.empty() ? "]" : "\n  ]");
}

std::string slowList(const std::vector<SlowRead>& slow)
{
    std::string out = "[";
    for (std::size_t i = 0; i < slow.size(); ++i) {
        out += i == 0 ? "\n    {" : ",\n    {";
        out += jsonNamedText("path", slow[i].path);
        out += ", \"offset\": " + std::to_string(slow[i].offset) + ", \"seconds\": " + jsonNumber(slow[i].seconds) +
            ", \"at_seconds\": " + jsonNumber(slow[i].atSeconds) + "}";
    }
    return out + (slow.empty() ? "]" : "\n  ]");
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

} // namespace

std::string base64(const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : common::utf8SequenceAt(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out + "\"";
}

std::string findingsJson(const VorkanEngine& engine)
{
    const RunState& run = engine.state();
    const ResultView& result = engine.view().result;
    const Findings& f = engine.findings();
    std::string out = "{\n  \"version\": 1,\n";
    out += std::string("  \"object\": {\"kind\": \"") + objectName(engine.testedObject()) + "\", " +
        jsonNamedText("location", engine.view().test.TOL) + "},\n";
    out += std::string("  \"test\": \"") + (engine.quickTest() ? "quick" : "complete") + "\",\n";
    out += "  \"files\": " + std::to_string(run.PocetSoub) + ",\n";
    out += "  \"directories\": " + std::to_string(run.PocetAdr) + ",\n";
    out += "  \"bytes\": " + std::to_string(run.VelCelk) + ",\n";
    out += "  \"errors\": " + std::to_string(result.ChybSezn.size()) + ",\n";
    out += "  \"seconds\": " + std::to_string(run.DobaTrv) + ",\n";
    out += "  \"bytes_read\": " + std::to_string(f.bytesRead) + ",\n";
    out += "  \"bytes_not_from_medium\": " + std::to_string(engine.bytesNotFromMedium()) + ",\n";
    out += "  \"vanished\": " + std::to_string(f.vanished) + ",\n";
    out += "  \"findings\": " + findingsList(f.items) + ",\n";
    out += "  \"slow\": " + slowList(f.slow) + ",\n";
    out += "  \"verification\": " + verificationJson(engine) + ",\n";
    out += "  \"manifest_written\": " + manifestWrittenJson(engine) + ",\n";
    out += "  \"speed\": " + speedList(f.speed.samples()) + "\n}\n";
    return out;
}

std::string jsonNumber(double value)
{
    if (!std::isfinite(value))
        return "0";
    char text[64];
    if (value == std::floor(value) && std::fabs(value) < 9e15)
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string jsonNamedText(const char* key, const std::string& text)
{
    std::string out = std::string("\"") + key + "\": " + jsonString(text);
    if (!common::isValidUtf8(text))
        out += std::string(", \"") + key + "_bytes\": \"" + base64(text) + "\"";
    return out;
}

} // namespace engine
