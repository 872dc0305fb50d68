#include "platform/block_device.h"

#include "platform/mount_table.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <set>

namespace platform {

namespace {

std::string sysBlock(dev_t device)
{
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The start of a partition on its disk, or -1 when device is no partition of disk.
std::int64_t partitionStart(dev_t partition, dev_t disk)
{
    std::ifstream parentDev(sysBlock(partition) + "/../dev");
    unsigned maj = 0, min = 0;
    char colon = 0;
    if (!(parentDev >> maj >> colon >> min) || colon != ':' || makedev(maj, min) != disk)
        return -1;
    std::ifstream start(sysBlock(partition) + "/start");
    std::int64_t sectors = -1;
    if (!(start >> sectors) || sectors < 0)
        return -1;
    return sectors * 512; // sysfs counts in 512-byte sectors whatever the device's block
}

} // namespace

BlockDeviceOpen openBlockDevice(const std::string& path)
{
    BlockDeviceOpen out;
    // O_NONBLOCK lets an optical drive without a medium open, so that its empty size can
    // be told apart from a refusal; reads then block as usual.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        out.error = errno;
        return out;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        out.error = errno;
        return out;
    }
    if (!S_ISBLK(st.st_mode)) {
        out.notBlockDevice = true;
        return out;
    }
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    std::uint64_t size = 0;
    int block = 0;
    if (::ioctl(fd.get(), BLKGETSIZE64, &size) != 0 || ::ioctl(fd.get(), BLKSSZGET, &block) != 0) {
        out.error = errno;
        return out;
    }
    if (size == 0) {
        out.error = ENOMEDIUM;
        return out;
    }
    out.device.fd = std::move(fd);
    out.device.device = st.st_rdev;
    out.device.size = static_cast<std::int64_t>(size);
    out.device.logicalBlock = block > 0 ? block : 512;
    return out;
}

std::vector<DeviceMount> mountsOf(dev_t device, const std::string& mountinfo)
{
    std::vector<DeviceMount> found;
    std::set<dev_t> seen;
    forEachMount(mountinfo, [&](libmnt_fs* fs) {
        dev_t dev = mnt_fs_get_devno(fs);
        const char* root = mnt_fs_get_root(fs);
        const char* target = mnt_fs_get_target(fs);
        if (dev == 0 || target == nullptr || (root != nullptr && std::string(root) != "/") || seen.count(dev) != 0)
            return;
        std::int64_t offset = dev == device ? 0 : partitionStart(dev, device);
        if (offset < 0)
            return;
        seen.insert(dev);
        const char* type = mnt_fs_get_fstype(fs);
        const char* source = mnt_fs_get_source(fs);
        found.push_back({target, type != nullptr ? type : "", source != nullptr ? source : "", dev, offset});
    });
    return found;
}

} // namespace platform
