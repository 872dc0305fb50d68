#pragma once
#include "faultfs_mount.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cli_testing {

// An ext4 filesystem on a medium with one bad spot (root only): the image is made from a
// directory (mkfs.ext4 -d), served by vorkan-faultfs with one byte range that fails with
// EIO, and mounted read-only from a loop device of 512-byte sectors over it. Everything is
// undone by the destructor. Empty reason() when it worked.
class FaultyImage {
public:
    // source: the directory whose files the filesystem holds; work: an empty directory.
    FaultyImage(const std::string& source, const std::string& work, int sizeMiB);
    ~FaultyImage();
    FaultyImage(const FaultyImage&) = delete;
    FaultyImage& operator=(const FaultyImage&) = delete;

    const std::string& reason() const { return reason_; }
    // Where in the image a file's block (of 4096 bytes) lies, and the inode table block that
    // holds a file's inode; -1 when debugfs does not tell. Paths are inside the filesystem.
    std::int64_t dataOffset(const std::string& path, std::int64_t fileBlock) const;
    std::int64_t inodeBlockOffset(const std::string& path) const;
    // Serves the image with [badStart, badEnd) failing and mounts it; false with reason().
    bool attach(std::int64_t badStart, std::int64_t badEnd);
    const std::string& mountPoint() const { return mountPoint_; }

private:
    std::string image_;
    std::string work_;
    std::string mountPoint_;
    std::string device_;
    std::string reason_;
    std::unique_ptr<testing_support::FaultFsMount> medium_;
    bool mounted_ = false;
};

} // namespace cli_testing
