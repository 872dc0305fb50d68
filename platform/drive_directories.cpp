#include "platform/drive_directories.h"

namespace platform {

std::string DriveDirectories::currentOf(char letter) const
{
    const Drive* drive = drives_.find(letter);
    if (drive == nullptr)
        return {};
    auto it = current_.find(drive->letter);
    return it != current_.end() ? it->second : drive->mountPoint;
}

void DriveDirectories::remember(const std::string& path)
{
    if (const Drive* drive = drives_.driveOf(path))
        current_[drive->letter] = path;
}

} // namespace platform
