#pragma once
#include <dirent.h>

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Attribute bits of a listed entry, as the walk of a test interprets them.
inline constexpr std::uint32_t kAttrReadOnly = 1;
inline constexpr std::uint32_t kAttrHidden = 2;
inline constexpr std::uint32_t kAttrSystem = 4;
inline constexpr std::uint32_t kAttrVolumeLabel = 8;
inline constexpr std::uint32_t kAttrDirectory = 16;
inline constexpr std::uint32_t kAttrArchive = 32;

struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;
    std::int64_t size = 0;

    bool isDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

// First/next/close listing of one directory. It yields regular files and directories only:
// symbolic links are never followed, FIFOs, sockets and device nodes never reported, "." and
// ".." skipped, and, when a device is given, entries on another filesystem (mount points
// below the tested object) left out. Non-copyable; the destructor closes the listing.
class DirListing {
public:
    explicit DirListing(std::optional<unsigned long> device = std::nullopt) : device_(device) {}
    ~DirListing() { close(); }
    DirListing(const DirListing&) = delete;
    DirListing& operator=(const DirListing&) = delete;

    // Opens the listing of path (an empty path lists "/") and moves to the first entry.
    // False when the directory cannot be listed or holds no entry.
    bool first(const std::string& path);
    // Moves to the next entry; false when the listing is exhausted.
    bool next();
    const DirEntry& entry() const { return entry_; }
    void close();

private:
    bool advance();

    std::optional<unsigned long> device_;
    DIR* dir_ = nullptr;
    DirEntry entry_;
};

// The entry of one file named by the user (a link to it is followed): only a regular file.
std::optional<DirEntry> lookUpFile(const std::string& path);

} // namespace platform
