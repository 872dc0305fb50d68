#pragma once
#include <chrono>
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
// The same on a thread of its own, given up after bound (error ETIMEDOUT, no names): a
// stalled mount costs the caller that long and no more.
SubdirectoryListing listSubdirectoriesWithin(const std::string& path, std::chrono::milliseconds bound);

} // namespace platform
