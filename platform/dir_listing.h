#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A file as a listing gives it: its name and size.
struct DirEntry {
    std::string name;
    std::int64_t size = 0;
};

// The entry of one file named by the user (a link to it is followed): only a regular file.
std::optional<DirEntry> lookUpFile(const std::string& path);

// The names of the directories in a directory, links to directories and hidden ones included,
// in no particular order; error is the errno of what failed (the names read until then stay).
struct SubdirectoryListing {
    std::vector<std::string> names;
    int error = 0;
};
SubdirectoryListing listSubdirectories(const std::string& path);
// For a window, the same within a bound: PathLooks (path_looks.h).

} // namespace platform
