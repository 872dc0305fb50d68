#pragma once
#include "platform/file_under_test.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class ReadPattern {
    WholeFile,  // read sequentially from start to end
    FirstBytes, // read a few bytes at the start only
};

// Direct reads need buffer, offset and length aligned to the device's logical block; no
// device has blocks larger than this, so it is always safe where the real size is unknown.
inline constexpr std::size_t kSafeBlockSize = 4096;

// A file opened to test that its data can be read from the medium, by the rules of
// openFileUnderTest; the read queues read it at explicit offsets through fd().
//
// Reads bypass the page cache (O_DIRECT): cached pages, and pages that a running program maps
// and that no advice can drop, would otherwise stand in for the medium. Where the filesystem
// refuses that, the file falls back to buffered reads after writing back its dirty pages and
// dropping its cached ones; those bytes cannot be vouched for (fromMedium() is false).
// Move-only; the destructor closes the file.
class ReadFile {
public:
    ReadFile();
    ~ReadFile();
    ReadFile(ReadFile&& other) noexcept;
    ReadFile& operator=(ReadFile&& other) noexcept;
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;

    OpenResult open(const std::string& path, ReadPattern pattern, bool followLink = false);
    // name relative to the directory open as dirfd (AT_FDCWD: the working directory).
    OpenResult openAt(int dirfd, const std::string& name, ReadPattern pattern, bool followLink = false);
    bool isOpen() const { return fd_ >= 0; }
    // Why the last open did not give an open file (an errno value; EBUSY: held by a writer),
    // 0 after one that did.
    int openError() const { return openError_; }

    int fd() const { return fd_; }
    // Reads go past the page cache to the medium.
    bool fromMedium() const { return direct_; }
    // The size the file had when opened.
    std::int64_t sizeAtOpen() const { return sizeAtOpen_; }
    // The filesystem refused a direct read (EINVAL): read through the page cache from now
    // on (false if that fails), once writeBackAndDropCache has written back and dropped what
    // the cache holds of the file. The two are apart because the write-back waits for the
    // medium, perhaps for long, and a reader serving other files must not wait with it.
    bool stopDirectReads();
    void writeBackAndDropCache() const;

    void close();

private:
    int fd_ = -1;
    int openError_ = 0;
    bool direct_ = false;
    ReadPattern pattern_ = ReadPattern::WholeFile;
    std::int64_t sizeAtOpen_ = 0;
};

} // namespace platform
