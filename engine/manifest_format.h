#pragma once
#include "engine/hash_algorithms.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

enum class ManifestFormat { Coreutils, Bsd, Sfv, Hashdeep, Bagit };
const char* formatName(ManifestFormat format); // "coreutils", "bsd", ...

// One line of a manifest that names a file, as the line says it: the name decoded (escapes,
// percent-encoding, "\" of a manifest made on Windows), not yet resolved to a path.
struct ManifestEntry {
    std::string name;
    std::vector<std::pair<HashAlgorithm, std::string>> digests; // raw bytes
    std::optional<std::int64_t> size;                           // hashdeep
};

// How the lines of one manifest read, learnt from its first lines and kept, so that a line
// read again later is understood the same way.
class LineRules {
public:
    // bagit: the manifest is a BagIt payload manifest of this algorithm (told by its name).
    explicit LineRules(std::optional<HashAlgorithm> bagit = std::nullopt);

    enum class Kind { Entry, Skipped, Improper };
    // Learns from a line read in order (the first lines fix the format); line has its line
    // end removed; crlf: it ended with CR LF.
    Kind learn(std::string_view line, bool crlf, ManifestEntry* entry);
    // A line read again after learning: its entry, or nothing.
    std::optional<ManifestEntry> parse(std::string_view line) const;

    std::optional<ManifestFormat> format() const { return format_; }
    HashSet algorithms() const { return algorithms_; }
    std::string algorithmText() const; // "sha256", or "md5,sha256" for several

private:
    Kind parseInto(std::string_view line, ManifestEntry& entry) const;
    Kind fixAlgorithm(Kind kind, const ManifestEntry& e);
    bool hashdeepHeader(std::string_view line);
    Kind hashdeepLine(std::string_view line, ManifestEntry& entry) const;

    std::optional<ManifestFormat> format_;
    HashSet algorithms_ = 0;
    bool windows_ = false;                              // CR LF line ends: "\" separates folders
    bool decided_ = false;                              // the line end of the first line was seen
    int hashdeepStage_ = 0;                             // 1: header seen, 2: columns known
    std::vector<std::optional<HashAlgorithm>> columns_; // hashdeep: a digest column, or none
    int sizeColumn_ = -1;
};

} // namespace engine
