#pragma once
#include "engine/findings.h"
#include "engine/manifest_set.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine {

// How the entries of the manifests ended, and the files no manifest names.
struct VerificationCounts {
    std::int64_t matched = 0;
    std::int64_t differ = 0;
    std::int64_t missing = 0;
    std::int64_t unlisted = 0;
    std::int64_t outside = 0;
    std::int64_t unreadable = 0;
};

// The verdict of a run's manifests: each file the walk reads is held against the lines that
// name it as it comes; what no file answered is missing at the end.
class Verification {
public:
    explicit Verification(TestRoot root) : set_(std::move(root)) {}

    // A manifest named by the user, relative to the working directory. Empty on success,
    // else the message that tells why it cannot be used.
    std::string addGiven(const std::string& path);
    // A manifest found in the tested tree, by the walk's name; nothing is refused.
    void addFound(const std::string& walkName, std::optional<HashAlgorithm> bagit);
    void seal() { set_.seal(); }

    HashSet algorithms() const { return set_.algorithms(); }

    // A file read whole: the finding of its first differing line, if any.
    std::optional<Finding> fileHashed(const std::string& walkName, const Digests& digests);
    // A file that could not be read whole: its own finding stands for its lines.
    void fileUnreadable(const std::string& walkName);
    // After the walk: the lines that named no file the walk read, in manifest order.
    std::vector<std::pair<std::string, Finding>> missing();

    const std::vector<ManifestSummary>& manifests() const { return set_.summaries(); }
    VerificationCounts counts() const;
    const TestRoot& root() const { return set_.root(); }

private:
    std::optional<Finding> verdict(const ManifestSet::Line& line, const Digests& digests);

    ManifestSet set_;
    VerificationCounts counts_;
};

// Whether a file's name makes it a manifest to verify when found in the tested tree; a
// BagIt payload manifest ("manifest-sha256.txt") also needs a "bagit.txt" beside it.
bool isManifestName(const std::string& name);
std::optional<HashAlgorithm> bagitManifestAlgorithm(const std::string& name);

} // namespace engine
