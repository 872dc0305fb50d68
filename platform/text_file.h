#pragma once
#include <cstddef>
#include <string>

namespace platform {

struct TextFileRead {
    bool exists = false;  // false: nothing has the name (error is then 0)
    bool regular = false; // it is a regular file (or a link to one)
    int error = 0;        // errno of a failure to read it; EFBIG beyond the limit
    std::string content;
};

// The whole of a small file, never more than limit bytes. A FIFO or device is not opened,
// so a mistyped name cannot block or read a disk.
TextFileRead readTextFile(const std::string& path, std::size_t limit);

} // namespace platform
