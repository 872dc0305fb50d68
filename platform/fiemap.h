#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Where a piece of a file lies on its filesystem's device.
struct FileExtent {
    std::int64_t logical = 0;  // offset in the file
    std::int64_t physical = 0; // offset on the device
    std::int64_t length = 0;
};

using ExtentVisitor = std::function<void(const FileExtent&)>;

// The extents of the file name in the directory dirFd (never through a link), then of a
// directory by path; each visits the extents in file order and returns 0 or an errno.
// Extents whose place is not known yet (delayed allocation) or not on the device (inline
// or encoded data) are left out.
int extentsAt(int dirFd, const std::string& name, const ExtentVisitor& visit);
int directoryExtents(const std::string& path, const ExtentVisitor& visit);

} // namespace platform
