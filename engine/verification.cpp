#include "engine/verification.h"

#include "engine/verification_texts.h"
#include "platform/random_access_file.h"

#include <cerrno>
#include <cstring>

namespace engine {

namespace {

bool endsWith(const std::string& name, const char* suffix)
{
    std::size_t n = std::strlen(suffix);
    return name.size() > n && name.compare(name.size() - n, n, suffix) == 0;
}

std::string baseName(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string Verification::addGiven(const std::string& path)
{
    std::string absolute = platform::canonicalPath(path);
    std::string base = absolute.empty() ? std::string() : set_.root().baseOf(absolute);
    std::optional<HashAlgorithm> bagit;
    if (auto a = bagitManifestAlgorithm(baseName(path))) {
        std::string dir = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
        if (platform::RandomAccessFile::open(dir + "/bagit.txt").isOpen())
            bagit = a;
    }
    errno = 0;
    if (!set_.add(path, base, bagit, false))
        return texts::kManifestPrefix + path + texts::kManifestNelzePrecist + std::strerror(errno);
    if (set_.summaries().back().entries == 0)
        return texts::kManifestPrefix + path + texts::kManifestBezPlatnehoRadku;
    return {};
}

void Verification::addFound(const std::string& walkName, std::optional<HashAlgorithm> bagit)
{
    set_.add(walkName, directoryOfKey(set_.root().keyOfWalkName(walkName)), bagit, true);
}

std::optional<Finding> Verification::fileHashed(const std::string& walkName, const Digests& digests)
{
    auto lines = set_.find(set_.root().keyOfWalkName(walkName));
    if (lines.empty()) {
        ++counts_.unlisted;
        return std::nullopt;
    }
    std::optional<Finding> first;
    for (const auto& line : lines) {
        set_.markChecked(line);
        auto finding = verdict(line, digests);
        if (finding && !first)
            first = std::move(finding);
    }
    return first;
}

std::optional<Finding> Verification::verdict(const ManifestSet::Line& line, const Digests& digests)
{
    Finding::ManifestLine where;
    where.manifest = set_.summaries()[line.manifest].path;
    where.line = line.number;
    if (line.entry.size && *line.entry.size != digests.bytes) {
        where.algorithm = "size";
        where.expected = std::to_string(*line.entry.size);
        where.actual = std::to_string(digests.bytes);
    } else {
        for (const auto& [algorithm, expected] : line.entry.digests) {
            const std::string& actual = digests[algorithm];
            if (actual == expected)
                continue;
            where.algorithm = algorithmName(algorithm);
            where.expected = toHex(expected);
            where.actual = toHex(actual);
            break;
        }
    }
    if (where.algorithm.empty()) {
        ++counts_.matched;
        return std::nullopt;
    }
    ++counts_.differ;
    Finding f = Finding::of(Finding::Kind::Checksum, {}, std::nullopt);
    f.manifestLine = std::move(where);
    return f;
}

void Verification::fileUnreadable(const std::string& walkName)
{
    for (const auto& line : set_.find(set_.root().keyOfWalkName(walkName))) {
        set_.markChecked(line);
        ++counts_.unreadable;
    }
}

std::vector<std::pair<std::string, Finding>> Verification::missing()
{
    std::vector<std::pair<std::string, Finding>> found;
    set_.forEachUnchecked([&](std::size_t manifest, std::uint32_t line, const std::string& key) {
        Finding f = Finding::of(Finding::Kind::Missing, {}, std::nullopt);
        f.manifestLine = Finding::ManifestLine{set_.summaries()[manifest].path, line, {}, {}, {}};
        found.emplace_back(set_.root().walkNameOf(key), std::move(f));
    });
    counts_.missing = static_cast<std::int64_t>(found.size());
    return found;
}

VerificationCounts Verification::counts() const
{
    VerificationCounts c = counts_;
    c.outside = set_.outside();
    return c;
}

bool isManifestName(const std::string& name)
{
    for (const char* exact : {"SHA256SUMS", "SHA512SUMS", "SHA1SUMS", "MD5SUMS"}) {
        if (name == exact)
            return true;
    }
    for (const char* suffix : {".sha256", ".sha512", ".sha1", ".md5", ".sfv", ".hashdeep"}) {
        if (endsWith(name, suffix))
            return true;
    }
    return false;
}

std::optional<HashAlgorithm> bagitManifestAlgorithm(const std::string& name)
{
    if (!name.starts_with("manifest-") || !endsWith(name, ".txt"))
        return std::nullopt;
    auto a = algorithmNamed(std::string_view(name).substr(9, name.size() - 13));
    if (a == HashAlgorithm::Crc32)
        return std::nullopt;
    return a;
}

} // namespace engine
