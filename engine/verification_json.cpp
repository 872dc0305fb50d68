#include "engine/verification_json.h"

#include "engine/findings_json.h"
#include "engine/verification.h"
#include "engine/vorkan_engine.h"

namespace engine {

namespace {

std::string field(const char* name, std::int64_t value)
{
    return std::string("\"") + name + "\": " + std::to_string(value);
}

std::string manifestList(const std::vector<ManifestSummary>& manifests)
{
    std::string out = "[";
    for (std::size_t i = 0; i < manifests.size(); ++i) {
        const ManifestSummary& m = manifests[i];
        out += i == 0 ? "\n      {" : ",\n      {";
        out += "\"path\": " + jsonString(m.path) + ", \"format\": \"" + formatName(m.format) +
            "\", \"algorithm\": " + jsonString(m.algorithm) + ", " + field("entries", m.entries) + ", " +
            field("improper_lines", m.improperLines) + "}";
    }
    return out + (manifests.empty() ? "]" : "\n    ]");
}

} // namespace

std::string verificationJson(const VorkanEngine& engine)
{
    const Verification* v = engine.verification();
    if (v == nullptr)
        return "null";
    VerificationCounts c = v->counts();
    return "{\n    \"manifests\": " + manifestList(v->manifests()) + ",\n    " + field("matched", c.matched) + ", " +
        field("differ", c.differ) + ", " + field("missing", c.missing) + ", " + field("unlisted", c.unlisted) + ", " +
        field("outside", c.outside) + ", " + field("unreadable", c.unreadable) + "\n  }";
}

std::string manifestWrittenJson(const VorkanEngine& engine)
{
    auto w = engine.manifestWritten();
    if (w == nullptr || !w->savedTo())
        return "null";
    return "{\"path\": " + jsonString(*w->savedTo()) + ", \"algorithm\": \"" + algorithmName(w->algorithm()) + "\", " +
        field("entries", w->entries()) + ", " + field("left_out", w->leftOut()) + "}";
}

std::string manifestLineFields(const Finding& finding)
{
    if (!finding.manifestLine)
        return {};
    const Finding::ManifestLine& m = *finding.manifestLine;
    std::string out;
    if (finding.kind == Finding::Kind::Checksum)
        out += ", \"algorithm\": " + jsonString(m.algorithm) + ", \"expected\": " + jsonString(m.expected) +
            ", \"actual\": " + jsonString(m.actual);
    return out + ", \"manifest\": " + jsonString(m.manifest) + ", " + field("line", m.line);
}

} // namespace engine
