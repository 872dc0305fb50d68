#pragma once
#include "platform/drives.h"

#include <map>
#include <string>

namespace platform {

// The current directory of each drive, as a system with drive letters keeps one: a drive
// that was never visited starts at its mount point; changing to a directory makes it the
// current one of the drive that holds it.
class DriveDirectories {
public:
    explicit DriveDirectories(const DriveTable& drives) : drives_(drives) {}

    // The remembered directory of the drive, or its mount point; empty for an unknown letter
    // or a drive without a medium.
    std::string currentOf(char letter) const;
    // Records path as the current directory of the drive that holds it.
    void remember(const std::string& path);

private:
    const DriveTable& drives_;
    std::map<char, std::string> current_;
};

} // namespace platform
