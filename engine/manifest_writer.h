#pragma once
#include "engine/hash_algorithms.h"
#include "platform/random_access_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// A manifest of the files of a run in coreutils' format, "HEX  NAME" in walk order, that
// `sha256sum -c --strict` accepts in the tested directory. Lines wait in a spool file, so
// memory stays small whatever the tree.
class ManifestWriter {
public:
    explicit ManifestWriter(HashAlgorithm algorithm);

    HashAlgorithm algorithm() const { return algorithm_; }
    // key: the file's path relative to the tested directory.
    void add(const std::string& key, const Digests& digests);
    void leaveOut() { ++leftOut_; } // a file that failed
    std::int64_t entries() const { return entries_; }
    std::int64_t leftOut() const { return leftOut_; }
    // Through the program's safe save; 0, or the errno of the failure.
    int save(const std::string& path) const;
    // save() without noting where: safe on another thread while the owner's thread reads.
    int writeTo(const std::string& path) const;
    void savedAs(const std::string& path) const { savedTo_ = path; }
    // Where it was last saved.
    const std::optional<std::string>& savedTo() const { return savedTo_; }

private:
    HashAlgorithm algorithm_;
    platform::SpoolFile spool_;
    int spoolError_ = 0;
    std::int64_t entries_ = 0;
    std::int64_t leftOut_ = 0;
    mutable std::optional<std::string> savedTo_;
};

// One line; a name with "\", a line feed or a carriage return is escaped as coreutils does.
std::string manifestLine(const std::string& hex, const std::string& name);

} // namespace engine
