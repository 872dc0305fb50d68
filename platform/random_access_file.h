#pragma once
#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A file read at any offset, for texts that are looked up again and again (a checksum
// manifest): nothing of it needs to stay in memory. Move-only.
class RandomAccessFile {
public:
    // Not isOpen() when it cannot be opened (errno tells why) or is no regular file.
    // fromMedium: drop its cached pages first, so that what is read comes from the medium.
    static RandomAccessFile open(const std::string& path, bool fromMedium = false);
    bool isOpen() const { return static_cast<bool>(fd_); }
    // Bytes read (fewer only at the end), or -1 on a failure.
    std::int64_t readAt(std::int64_t offset, char* buffer, std::size_t length) const;

private:
    UniqueFd fd_;
    friend class SpoolFile;
};

// A nameless temporary file that is gone when closed: room for what a run writes out
// later, in bounded memory.
class SpoolFile {
public:
    static SpoolFile create(); // not isOpen() when none can be made
    bool isOpen() const { return file_.isOpen(); }
    bool append(std::string_view data);
    std::int64_t size() const { return size_; }
    std::int64_t readAt(std::int64_t offset, char* buffer, std::size_t length) const
    {
        return file_.readAt(offset, buffer, length);
    }

private:
    RandomAccessFile file_;
    UniqueFd writer_;
    std::int64_t size_ = 0;
};

// The absolute path without links, "." or ".."; empty when it cannot be resolved.
std::string canonicalPath(const std::string& path);

} // namespace platform
