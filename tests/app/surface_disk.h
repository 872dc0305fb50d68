#pragma once
#include "faultfs_mount.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli_testing {

using Range = std::pair<std::int64_t, std::int64_t>;

// Where a file lies on its filesystem, as filefrag -v tells it (bytes).
struct Extent {
    std::int64_t logical = 0;
    std::int64_t physical = 0;
    std::int64_t length = 0;
};

// A system tool from sbin or bin, run to its end.
testing_support::ProcessResult runTool(std::vector<std::string> argv);

// A disk with bad sectors for one test (root only): an image file, served through
// vorkan-faultfs with failing ranges, a read-only loop device over it and, if asked, its
// filesystem mounted read-only. Everything is undone by the destructor.
class FaultyDisk {
public:
    explicit FaultyDisk(const std::string& dir);
    ~FaultyDisk();
    FaultyDisk(const FaultyDisk&) = delete;
    FaultyDisk& operator=(const FaultyDisk&) = delete;

    // Step 1: the image with an ext4 filesystem made by mkfs.ext4 and filled by the lambda
    // while mounted at the path it is given. Empty on success, else why not.
    template <typename Fill>
    std::string makeExt4(int sizeMiB, Fill fill)
    {
        std::string why = mountImage(sizeMiB);
        if (why.empty())
            fill(work_);
        return why.empty() ? unmountImage() : why;
    }
    // Or an image of whatever bytes the caller put there.
    const std::string& image() const { return image_; }
    // Where a file of the filled filesystem lies (before it is served).
    std::vector<Extent> extentsOf(const std::string& relative) const;
    std::string extentsText() const { return filefrag_; }

    // Step 2: the image served with its faults (lines "eio START END", "stall OFFSET SECONDS")
    // as /dev/loopN; mounted at mountPoint() when mount is true.
    std::string serve(const std::vector<std::string>& faults, bool mount);

    const std::string& device() const { return device_; }
    const std::string& mountPoint() const { return mounted_; }
    // What the fault filesystem logged so far: "read /disk OFFSET LENGTH" and "eio ..." lines.
    std::string log() const { return fs_ ? fs_->log() : std::string(); }
    bool waitForLog(const std::string& text, std::chrono::milliseconds timeout) const
    {
        return fs_ && fs_->waitForLog(text, timeout);
    }

private:
    std::string mountImage(int sizeMiB);
    std::string unmountImage();

    std::string dir_;
    std::string image_;
    std::string work_;
    std::string mounted_;
    mutable std::string filefrag_;
    std::string workDevice_;
    std::string device_;
    std::unique_ptr<testing_support::FaultFsMount> fs_;
};

// Each "read /disk OFFSET LENGTH" line of a fault filesystem log from byte from on.
std::vector<Range> readsInLog(const std::string& log, std::size_t from = 0);

} // namespace cli_testing
