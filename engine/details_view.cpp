#include "engine/details_view.h"

#include "engine/verification.h"

#include "common/encoding.h"
#include "engine/area_texts.h"
#include "engine/details_texts.h"
#include "engine/vorkan_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace engine {

namespace {

constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

FindingRow findingRow(const Finding& f)
{
    FindingRow row;
    row.path = common::shownName(f.path);
    row.kind = kindText(f.kind);
    if (f.offset)
        row.offset = std::to_string(*f.offset);
    if (f.mapped)
        row.unreadable = std::to_string(f.unreadableBytes);
    row.error = common::shownName(f.error);
    return row;
}

} // namespace

std::string kindText(Finding::Kind kind)
{
    switch (kind) {
    case Finding::Kind::Open: return texts::kDruhOtevreni;
    case Finding::Kind::Read: return texts::kDruhCteni;
    case Finding::Kind::Short: return texts::kDruhKratsi;
    case Finding::Kind::Grown: return texts::kDruhNarostl;
    case Finding::Kind::Directory: return texts::kDruhAdresar;
    case Finding::Kind::Checksum: return texts::kDruhJinyObsah;
    case Finding::Kind::Missing: return texts::kDruhChybi;
    }
    return texts::kDruhCteni;
}

std::string areaText(const std::string& area)
{
    if (area == "free")
        return texts::kPovrchOblastVolna;
    if (area == "metadata")
        return texts::kPovrchOblastMetadata;
    return texts::kPovrchOblastNeznama;
}

Axis niceAxis(double largest, int maxSteps)
{
    if (!std::isfinite(largest) || largest <= 0)
        largest = 1;
    maxSteps = std::max(1, maxSteps);
    const double magnitude = std::pow(10.0, std::floor(std::log10(largest / maxSteps)));
    double step = 10 * magnitude;
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude * maxSteps >= largest * (1 - 1e-9)) {
            step = m * magnitude;
            break;
        }
    }
    // Rounding must not add a step above a largest value that lies on a tick.
    return {std::ceil(largest / step - 1e-9) * step, step};
}

CurveView curveView(const Findings& findings)
{
    CurveView view;
    double lastSecond = 0;
    double fastest = 0;
    for (const SpeedSample& s : findings.speed.samples()) {
        view.points.push_back({s.seconds, s.bytesPerSecond / kBytesPerMegabyte});
        lastSecond = std::max(lastSecond, s.seconds);
        fastest = std::max(fastest, s.bytesPerSecond / kBytesPerMegabyte);
    }
    for (const SlowRead& r : findings.slow) {
        view.slow.push_back({std::max(0.0, r.atSeconds - r.seconds), r.atSeconds});
        lastSecond = std::max(lastSecond, r.atSeconds);
    }
    view.time = niceAxis(lastSecond);
    view.speed = niceAxis(fastest, 5);
    return view;
}

std::string decimalText(double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::max(0, decimals), value);
    std::string out = text;
    std::replace(out.begin(), out.end(), '.', ',');
    // A value that rounds to zero is no negative number.
    if (out[0] == '-' && out.find_first_not_of("-0,") == std::string::npos)
        out.erase(0, 1);
    return out;
}

std::string tickText(double value, const Axis& axis)
{
    const int decimals = axis.step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(axis.step) - 1e-9));
    return decimalText(value, decimals);
}

DetailsView detailsView(const VorkanEngine& engine)
{
    DetailsView view;
    const Findings& f = engine.findings();
    for (const Finding& finding : f.items)
        view.findings.push_back(findingRow(finding));
    for (const SlowRead& r : f.slow)
        view.slow.push_back({common::shownName(r.path), std::to_string(r.offset), decimalText(r.seconds, 2)});
    if (f.slowDropped > 0)
        view.slowDropped = texts::kDalsiPomalaCteni + std::to_string(f.slowDropped);
    for (const DamageHit& h : f.hits) {
        bool file = !h.path.empty();
        view.hits.push_back({std::to_string(h.start), std::to_string(h.end),
                             file ? common::shownName(h.path) : areaText(h.area),
                             file ? std::to_string(h.fileOffset) : std::string()});
    }
    if (f.hitsDropped > 0)
        view.hitsDropped = texts::kDalsiZasahy + std::to_string(f.hitsDropped);
    view.jsonSavable = !f.surface;
    view.curve = curveView(f);
    view.curve.measured = !engine.quickTest();
    const std::int64_t notFromMedium = engine.bytesNotFromMedium();
    view.notFromMedium = texts::kNezarucenoZMedia + std::to_string(notFromMedium) + texts::kBajtu;
    view.notFromMediumWhy = notFromMedium == 0 ? texts::kVseZMedia : texts::kCastZPameti;
    if (const Verification* v = engine.verification()) {
        for (const ManifestSummary& m : v->manifests())
            view.manifests.push_back(
                common::shownName(m.path) + " (" + formatName(m.format) + ", " + m.algorithm +
                "): " + std::to_string(m.entries) + texts::kZaznamu +
                (m.improperLines > 0 ? ", " + std::to_string(m.improperLines) + texts::kChybnychRadku : std::string()));
        VerificationCounts c = v->counts();
        view.manifestCounts = texts::kShoduje + std::to_string(c.matched) + texts::kJinyObsah +
            std::to_string(c.differ) + texts::kChybi + std::to_string(c.missing) + texts::kNeuvedeno +
            std::to_string(c.unlisted) + texts::kMimo + std::to_string(c.outside);
    }
    view.manifestToSave = engine.manifestWritten() != nullptr;
    if (f.vanished > 0)
        view.vanished = texts::kZmizeleSoubory + std::to_string(f.vanished);
    return view;
}

} // namespace engine
