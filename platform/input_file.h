#pragma once
#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Which file a name stands for: two names with the same identity are one file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what path names, following links; empty when it names nothing.
std::optional<FileIdentity> identityOf(const std::string& path);
// The identity of what an open descriptor stands for; empty when it is not open.
std::optional<FileIdentity> identityOfDescriptor(int fd);

enum class WholeFile { Read, CannotOpen, NotRegular, TooLarge, ReadFailed };

// The whole content of a regular file of at most limit bytes (a file that grows past it
// while it is read is TooLarge too). Anything else is refused before a byte is read: a FIFO
// or a device would block or never end. error receives errno where one is known.
WholeFile readWholeFile(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& content, int& error);

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
