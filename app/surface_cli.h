#pragma once
#include <optional>
#include <string>

namespace app {

struct SurfaceCliOptions {
    std::string device;
    std::optional<std::string> mapfile;
    std::string json; // "-": standard output
    double slow = 1.0;
    std::string commandLine; // for the mapfile's comment
};

// Scans a block device front to back and prints what it found; returns the exit status.
int runSurface(const SurfaceCliOptions& options);

// The block device behind a drive of the drive list, or empty after a refusal on stderr.
std::optional<std::string> deviceOfDrive(const std::string& driveText);

} // namespace app
