#include "platform/read_profile.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

namespace platform {

namespace {

std::string firstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The sysfs directory of the whole disk that holds device (a partition resolves to its
// disk); empty for devices that are not block devices (tmpfs, FUSE, network filesystems).
std::string diskDirectory(dev_t device)
{
    std::string link = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char resolved[PATH_MAX];
    if (::realpath(link.c_str(), resolved) == nullptr)
        return {};
    std::string dir = resolved;
    if (::access((dir + "/partition").c_str(), F_OK) == 0)
        dir = dir.substr(0, dir.rfind('/'));
    return dir;
}

bool isOptical(const std::string& disk)
{
    const std::string scsiTypeRom = "5";
    return disk.substr(disk.rfind('/') + 1).starts_with("sr") || firstLine(disk + "/device/type") == scsiTypeRom;
}

} // namespace

bool ioUringAllowed()
{
    const char* off = std::getenv("VORKAN_NO_IO_URING");
    return off == nullptr || std::string(off) != "1";
}

ReadProfile readProfileForDevice(dev_t device)
{
    ReadProfile profile;
    profile.useIoUring = ioUringAllowed();
    std::string disk = diskDirectory(device);
    if (disk.empty())
        return profile;
    long block = std::strtol(firstLine(disk + "/queue/logical_block_size").c_str(), nullptr, 10);
    if (block >= 512 && block <= 4096 && (block & (block - 1)) == 0)
        profile.blockSize = static_cast<std::size_t>(block);
    if (isOptical(disk)) {
        // One head, no queue of its own, seconds per seek: strictly one thing after another.
        profile.inOrder = true;
        profile.depth = 2;
        profile.fileDepth = 2;
    } else if (firstLine(disk + "/queue/rotational") == "1") {
        // A large file is read straight through and alone, since two streams would make the
        // head jump between them (the requests of one file in flight lie side by side). Small
        // files still go several at a time: the scheduler and the disk's own queue take them
        // in the order of the platter, which costs far less than a full turn for each.
        // (Virtual disks also say rotational, and are served best that way too.)
        profile.inOrder = true;
        profile.depth = 64;
        profile.fileDepth = 4;
    }
    return profile;
}

ReadProfile readProfileFor(const std::string& path)
{
    struct stat st {};
    if (::stat(path.empty() ? "/" : path.c_str(), &st) != 0) // a drive test of "/" walks from ""
        return readProfileForDevice(0);
    return readProfileForDevice(st.st_dev);
}

} // namespace platform
