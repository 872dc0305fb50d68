#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace reads_testing {

// A filesystem on a loop device made for one test (root only): an image file, the loop
// device over it and the mount; all undone by the destructor. Empty reason() when it worked.
class LoopMount {
public:
    LoopMount(const std::string& dir, int sizeMiB, const std::string& fsType = "ext4");
    ~LoopMount();
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    const std::string& reason() const { return reason_; }
    const std::string& path() const { return mountPoint_; }
    const std::string& device() const { return device_; } // /dev/loopN
    // Sectors of 512 bytes read from the device so far.
    std::int64_t sectorsRead() const;
    void setRotational(bool rotational) const;
    // Unmounts and mounts again, which empties every cache of the filesystem and its device.
    bool remount();

private:
    std::string image_;
    std::string device_;
    std::string mountPoint_;
    std::string reason_;
    std::string fsType_;
    bool mounted_ = false;
};

// A child process that maps the files and locks their pages in memory, as a running
// program does with its binary and libraries, until the object goes.
class PagesLockedByOtherProcess {
public:
    explicit PagesLockedByOtherProcess(const std::vector<std::string>& paths);
    ~PagesLockedByOtherProcess();
    PagesLockedByOtherProcess(const PagesLockedByOtherProcess&) = delete;
    PagesLockedByOtherProcess& operator=(const PagesLockedByOtherProcess&) = delete;
    bool ready() const { return ready_; }

private:
    pid_t child_ = -1;
    bool ready_ = false;
};

} // namespace reads_testing
