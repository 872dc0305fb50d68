#pragma once
#include "platform/unique_fd.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A block device opened for a scan: read-only and with O_DIRECT, so every byte comes from
// the medium and nothing can be written to it.
struct BlockDevice {
    UniqueFd fd;
    dev_t device = 0;       // its device number
    std::int64_t size = 0;  // bytes
    int logicalBlock = 512; // the smallest unit the device reads
};

struct BlockDeviceOpen {
    BlockDevice device;
    int error = 0;               // errno when it could not be opened; ENOMEDIUM for a size of 0
    bool notBlockDevice = false; // opened, but it is no block device
    bool ok() const { return error == 0 && !notBlockDevice; }
};

BlockDeviceOpen openBlockDevice(const std::string& path);

// A filesystem mounted from the device or from one of its partitions.
struct DeviceMount {
    std::string mountPoint;
    std::string fsType;
    std::string source;      // the mounted device's node, as the mount table names it
    dev_t device = 0;        // the mounted device (the partition, for a partition)
    std::int64_t offset = 0; // where the mounted device begins on the scanned one
};

// Mounts whose root is the filesystem's root (bind mounts of a subtree are left out), one
// per mounted device, from the mount table.
std::vector<DeviceMount> mountsOf(dev_t device, const std::string& mountinfo = "/proc/self/mountinfo");

} // namespace platform
