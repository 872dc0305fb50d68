#pragma once
#include "platform/unique_fd.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

struct stat;

namespace platform {

// Writes a whole file the way every writer of the program must, so that saving never
// changes what the target is:
// - nothing there: created (written under a temporary name beside it and renamed);
// - a symbolic link: what it points to is written, created when missing, as a shell's ">";
// - a device node, FIFO or socket: opened and written in place, never replaced;
// - a regular file with one link in a directory the saver can write, whose owner and group
//   the saver can keep and which the saver may write: written beside it, synced, given its
//   mode and owner and renamed over it, so a failure leaves the old content whole;
// - any other regular file: truncated and written in place under the kernel's permission
//   checks, so a file the saver may not write stays as it was.
// Not committing (an early return, an exception) removes the temporary file.
class SavedFile {
public:
    // Prepares the target; on failure the result is not isOpen() and error() tells why.
    // newMode: the permissions of a file that does not exist yet (the umask applies).
    static SavedFile begin(const std::string& path, mode_t newMode = 0666);

    SavedFile(SavedFile&& other) noexcept;
    SavedFile& operator=(SavedFile&&) = delete;
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;
    ~SavedFile();

    bool isOpen() const { return static_cast<bool>(fd_); }
    // The errno of the first failure, 0 while none happened.
    int error() const { return error_; }

    bool write(std::string_view data);
    // Makes the written content the target's: synced, closed and, for a replacement,
    // renamed over the old file.
    bool commit();

private:
    SavedFile() = default;
    bool fail(int error);
    bool replaceBeside(const struct stat& old);

    UniqueFd fd_;
    std::string path_;
    std::string temp_; // non-empty while a replacement waits to be renamed
    bool regular_ = false;
    bool fresh_ = false; // nothing had the name when saving began
    int error_ = 0;
};

// The whole content in one go; 0 on success, else the errno of the failure.
int saveFile(const std::string& path, std::string_view content, mode_t newMode = 0666);

} // namespace platform
