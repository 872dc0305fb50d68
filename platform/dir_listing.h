#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// A file as a listing gives it: its name and size.
struct DirEntry {
    std::string name;
    std::int64_t size = 0;
};

// The entry of one file named by the user (a link to it is followed): only a regular file.
std::optional<DirEntry> lookUpFile(const std::string& path);

} // namespace platform
