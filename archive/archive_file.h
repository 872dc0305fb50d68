#pragma once
#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace archive {

// An archive file opened for reading at explicit offsets, so a damaged offset can never move
// a shared position. Move-only; the destructor closes it.
class ArchiveFile {
public:
    // Opens a regular file for reading; false when it cannot be opened.
    bool open(const std::string& path);
    bool isOpen() const { return static_cast<bool>(fd_); }
    void close() { fd_.reset(); }
    std::int64_t size() const { return size_; }
    // Reads up to count bytes at offset, retrying partial reads; the count read (short at
    // the end of the file), or -1 when the device reports an error.
    std::int64_t readAt(std::int64_t offset, void* out, std::size_t count) const;

private:
    platform::UniqueFd fd_;
    std::int64_t size_ = 0;
};

} // namespace archive
