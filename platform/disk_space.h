#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Total size and free space in bytes of the filesystem that holds path ("" is "/"),
// or -1 when it cannot be queried.
std::int64_t diskSize(const std::string& path);
std::int64_t diskFree(const std::string& path);

} // namespace platform
