#pragma once
#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A regular file opened for reading at explicit offsets by the rules of openFileUnderTest (a
// symbolic link is followed), so that what is read cannot change under the reader and a
// damaged offset can never move a shared position. Move-only; the destructor closes it.
class ReadOnlyFile {
public:
    enum class Open { Opened, Failed, NotRegular, HeldByWriter };

    Open open(const std::string& path);
    bool isOpen() const { return static_cast<bool>(fd_); }
    void close() { fd_.reset(); }
    // The size when the file was opened.
    std::int64_t size() const { return size_; }
    // Reads up to count bytes at offset, retrying partial reads: the count read (short only
    // at the end of the file), or -1 when the device reports an error.
    std::int64_t readAt(std::int64_t offset, void* out, std::size_t count) const;

private:
    UniqueFd fd_;
    std::int64_t size_ = 0;
};

} // namespace platform
