#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// An ext2/3/4 filesystem read with libext2fs, read-only, to tell which of its blocks are in
// use. Opening reads the superblock, the group descriptors and the block bitmap; on a
// damaged device any of them may fail, and then nothing can be told.
class ExtFilesystem {
public:
    // Null when path holds no ext2/3/4 filesystem that can be read.
    static std::unique_ptr<ExtFilesystem> open(const std::string& path);
    ~ExtFilesystem();
    ExtFilesystem(const ExtFilesystem&) = delete;
    ExtFilesystem& operator=(const ExtFilesystem&) = delete;

    std::int64_t size() const;
    // [start, end) in bytes of the filesystem, split where the blocks change between in use
    // (true) and free.
    std::vector<std::pair<std::pair<std::int64_t, std::int64_t>, bool>> usage(std::int64_t start,
                                                                              std::int64_t end) const;

private:
    struct Impl;
    explicit ExtFilesystem(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
