#pragma once
#include "platform/unique_fd.h"

#include <cstdint>
#include <string>

namespace platform {

enum class OpenResult { Opened, Failed, HeldByWriter, NotRegular };

struct OpenRules {
    bool followLink = false;   // a symbolic link is refused (ELOOP) unless asked to follow it
    bool preferDirect = false; // past the page cache where the filesystem allows it
};

struct OpenedFile {
    OpenResult result = OpenResult::Failed;
    // Why it was refused, kept before anything else could change errno: the open's own
    // error, EISDIR or EINVAL for what is no regular file, EBUSY while a writer holds it.
    int error = 0;
    UniqueFd fd; // open only when Opened
    bool direct = false;
    std::int64_t size = 0; // when opened
};

// Opens a file whose data is to be read back, refusing what must not be touched: symbolic
// links (unless followed), FIFOs, sockets and devices, and a file another process has open
// for writing, since what is read could change under the reader. The open never blocks on
// a FIFO swapped in for the file, and leaves access times alone where the caller may ask.
// name is relative to the directory open as dirfd (AT_FDCWD: the working directory).
OpenedFile openFileUnderTest(int dirfd, const std::string& name, OpenRules rules);

} // namespace platform
