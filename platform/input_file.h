#pragma once
#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// Which file a name stands for: two names with the same identity are one file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what path names, following links; empty when it names nothing.
std::optional<FileIdentity> identityOf(const std::string& path);

// A file opened for plain sequential reading (a copy's source), not for testing a medium.
class InputFile {
public:
    // Not isOpen() when the file cannot be opened.
    static InputFile open(const std::string& path);

    bool isOpen() const { return static_cast<bool>(fd_); }
    std::int64_t size() const { return size_; }
    const FileIdentity& identity() const { return identity_; }
    // Bytes read, 0 at the end, -1 on a failure.
    ssize_t read(char* buffer, std::size_t length);

private:
    UniqueFd fd_;
    std::int64_t size_ = 0;
    FileIdentity identity_;
};

} // namespace platform
