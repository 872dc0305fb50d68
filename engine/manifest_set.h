#pragma once
#include "engine/manifest_format.h"
#include "engine/manifest_paths.h"
#include "platform/random_access_file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// What a manifest held, for the result.
struct ManifestSummary {
    std::string path;
    ManifestFormat format = ManifestFormat::Coreutils;
    std::string algorithm;
    std::int64_t entries = 0;
    std::int64_t improperLines = 0;
};

// The manifests of a run and an index of their lines by the file each names. Memory stays
// small whatever the manifests hold: the index keeps a hash of each line's key and where the
// line lies, and a line that the hash points to is read again from the manifest's copy (a
// nameless temporary file) and compared in full, so neither the names nor the digests are
// kept.
class ManifestSet {
public:
    explicit ManifestSet(TestRoot root) : root_(std::move(root)) {}

    // Reads a manifest whole. base: the key of its directory when it lies inside the tested
    // object. bagit: a BagIt payload manifest of that algorithm. fromMedium: past the cache.
    // False (errno tells why) when it cannot be read.
    bool add(const std::string& path, const std::string& base, std::optional<HashAlgorithm> bagit, bool fromMedium);
    // After the last add.
    void seal();

    struct Line {
        std::size_t manifest;
        std::uint32_t number; // from 1
        ManifestEntry entry;
    };
    // The lines that name key, in the order of the manifests and their lines.
    std::vector<Line> find(const std::string& key) const;
    void markChecked(const Line& line);
    // Each entry line no file has answered, in manifest order, with its key.
    void forEachUnchecked(
        const std::function<void(std::size_t manifest, std::uint32_t line, const std::string& key)>& visit) const;

    HashSet algorithms() const;
    const std::vector<ManifestSummary>& summaries() const { return summaries_; }
    std::int64_t outside() const { return outside_; }
    const TestRoot& root() const { return root_; }

private:
    struct Source {
        platform::RandomAccessFile file; // until it was copied
        platform::SpoolFile copy;        // where the lines are read from; closed: from file
        LineRules rules;
        std::string base;
        std::vector<bool> checked; // by line number
        std::int64_t readAt(std::int64_t offset, char* buffer, std::size_t length) const;
    };
    struct Record {
        std::uint64_t hash;
        std::uint64_t offset; // of the line in its manifest
        std::uint32_t number;
        std::uint32_t manifest;
    };
    // The block of a manifest's copy that the last line looked up was read from: files are
    // mostly looked up in the order their manifest lists them, so the next line is there.
    struct ReadBlock {
        std::size_t manifest = SIZE_MAX;
        std::uint64_t start = 0;
        bool last = false; // ends where the manifest ends
        std::string data;
    };
    std::optional<std::string> lineAt(std::uint32_t manifest, std::uint64_t offset) const;
    void index(std::uint32_t manifest, std::uint32_t number, std::uint64_t offset, const ManifestEntry& entry);
    std::vector<std::string> keysOf(const Source& source, const ManifestEntry& entry) const;

    TestRoot root_;
    std::vector<Source> sources_;
    std::vector<ManifestSummary> summaries_;
    std::vector<Record> records_; // sorted by hash once sealed
    std::int64_t outside_ = 0;
    mutable ReadBlock block_; // find() is for one thread at a time, as is the rest
};

} // namespace engine
