#pragma once
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

// The entry of one file named by the user (a link to it is followed): only a regular file.
std::optional<DirEntry> lookUpFile(const std::string& path);

} // namespace platform
