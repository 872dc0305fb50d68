#pragma once
#include "engine/findings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

class VorkanEngine;

// What the details window shows of the last run, as text and numbers ready to draw, so that
// the window only lays it out.
struct FindingRow {
    std::string path; // as the error list shows it
    std::string kind;
    std::string offset;     // the first bad byte, empty where none is known
    std::string unreadable; // mapped unreadable bytes, empty when not mapped
    std::string error;      // the system's text, empty where none
};

// What lies on a piece of a bad area or slow read of a scanned device.
struct HitRow {
    std::string start; // on the device
    std::string end;
    std::string what;       // the file, or the kind of area
    std::string fileOffset; // empty for an area
};

struct SlowRow {
    std::string path;
    std::string offset;
    std::string seconds;
};

// A scale from 0 to top in equal steps of 1, 2 or 5 times a power of ten.
struct Axis {
    double top = 1;
    double step = 1;
};

struct CurvePoint {
    double seconds = 0;
    double megabytesPerSecond = 0;
};

// A slow read as the span of time it took, ending when it came back.
struct SlowSpan {
    double from = 0;
    double to = 0;
};

struct CurveView {
    bool measured = true; // the quick test measures no speed
    std::vector<CurvePoint> points;
    std::vector<SlowSpan> slow;
    Axis time;  // seconds since reading began
    Axis speed; // MB/s
};

struct DetailsView {
    std::vector<FindingRow> findings;
    std::vector<SlowRow> slow;
    std::string slowDropped;  // empty when every slow read was kept
    std::vector<HitRow> hits; // a surface scan's; empty for a file test
    std::string hitsDropped;
    // The JSON document of a file test does not describe a scan of a device.
    bool jsonSavable = true;
    CurveView curve;
    std::string notFromMedium;
    std::string notFromMediumWhy;
    // The manifests the run verified, one line each, and the counts of their lines; empty
    // when none was used.
    std::vector<std::string> manifests;
    std::string manifestCounts;
    bool manifestToSave = false; // the run computed a manifest that can be saved
    std::string vanished;        // empty when the read phase found every file counted
};

DetailsView detailsView(const VorkanEngine& engine);

// The pieces, for their own tests.
std::string kindText(Finding::Kind kind);
// "free", "metadata" or anything else ("unknown") as the user reads it.
std::string areaText(const std::string& area);
Axis niceAxis(double largest, int maxSteps = 6);
CurveView curveView(const Findings& findings);
// A number with a decimal comma, as Czech writes it.
std::string decimalText(double value, int decimals);
// A tick of an axis: as many decimals as its step needs.
std::string tickText(double value, const Axis& axis);

} // namespace engine
