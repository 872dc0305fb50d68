#pragma once
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Drive kinds, numbered as the drive-type query of the system reports them.
enum class DriveType { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

struct Drive {
    char letter = 'c'; // lower case
    DriveType type = DriveType::Fixed;
    std::string mountPoint; // empty for an optical drive without a medium
    std::string label;      // volume label, or the network source of a remote drive
    std::string source;     // the mounted device or share

    // The text of the drive chooser: "d: [LABEL] /mount/point".
    std::string entryText() const;
    // The path a drive test walks from: the mount point without a trailing "/" ("" for "/").
    std::string walkPath() const;
};

// The machine's drives with letters: "c" is the root filesystem, further real filesystems
// (block devices, network filesystems, optical media, anything under /media, /mnt or
// /run/media) get d, e, ... in mount-point order; a bind mount of a directory (a mount whose
// root is not "/") gets none. Built from the mount table alone, without asking any of the
// filesystems, so a mount that does not answer cannot hold it up. Built once; tests build
// their own.
class DriveTable {
public:
    static DriveTable fromMountTable(const std::string& mountinfo = "/proc/self/mountinfo");
    static DriveTable fromDrives(std::vector<Drive> drives);

    const std::vector<Drive>& drives() const { return drives_; }
    // The drive of a letter of either case, or nullptr.
    const Drive* find(char letter) const;
    // The drive whose mount point holds path (the longest matching mount point).
    const Drive* driveOf(const std::string& path) const;
    // The drive's filesystem answers a size query within a second or two (a drive without a
    // medium, or a mount whose server does not answer, is not ready).
    static bool ready(const Drive& drive);
    // The same for each drive, asked side by side.
    static std::vector<bool> readyAll(const std::vector<Drive>& drives);

private:
    std::vector<Drive> drives_;
};

} // namespace platform
