#include "engine/manifest_set.h"

#include "common/encoding.h"

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace engine {

namespace {

// A line longer than this names no file anyone keeps; it counts as improper.
constexpr std::size_t kLongestLine = 1 << 20;
constexpr std::size_t kBlock = 1 << 16;

std::uint64_t hashOf(const std::string& key)
{
    return std::hash<std::string_view>{}(key);
}

struct LineEnd {
    std::string_view text;
    bool crlf;
};

LineEnd trimmed(std::string_view line)
{
    bool crlf = !line.empty() && line.back() == '\r';
    if (crlf)
        line.remove_suffix(1);
    return {line, crlf};
}

// Calls visit(offset, line, crlf) for each line; false when a read failed.
template <class File, class Visit>
bool forEachLine(const File& file, Visit visit)
{
    std::string pending; // the part of a line that began in an earlier block
    std::uint64_t lineStart = 0;
    std::uint64_t offset = 0;
    bool tooLong = false;
    std::string block(kBlock, '\0');
    for (;;) {
        std::int64_t got = file.readAt(static_cast<std::int64_t>(offset), block.data(), block.size());
        if (got < 0)
            return false;
        std::string_view data(block.data(), static_cast<std::size_t>(got));
        std::size_t from = 0;
        while (from < data.size()) {
            std::size_t newline = data.find('\n', from);
            std::string_view piece =
                data.substr(from, newline == std::string_view::npos ? std::string_view::npos : newline - from);
            if (!tooLong && pending.size() + piece.size() <= kLongestLine)
                pending.append(piece);
            else
                tooLong = true;
            if (newline == std::string_view::npos)
                break;
            auto [text, crlf] = trimmed(pending);
            visit(lineStart, tooLong ? std::optional<std::string_view>() : std::optional(text), crlf);
            pending.clear();
            tooLong = false;
            lineStart = offset + newline + 1;
            from = newline + 1;
        }
        offset += static_cast<std::uint64_t>(got);
        if (static_cast<std::size_t>(got) < block.size())
            break;
    }
    if (!pending.empty() || tooLong) {
        auto [text, crlf] = trimmed(pending);
        visit(lineStart, tooLong ? std::optional<std::string_view>() : std::optional(text), crlf);
    }
    return true;
}

template <class File>
std::optional<std::string> readLineAt(const File& file, std::uint64_t offset)
{
    std::string line;
    std::string block(4096, '\0');
    while (line.size() <= kLongestLine) {
        std::int64_t got = file.readAt(static_cast<std::int64_t>(offset + line.size()), block.data(), block.size());
        if (got < 0)
            return std::nullopt;
        std::string_view data(block.data(), static_cast<std::size_t>(got));
        std::size_t newline = data.find('\n');
        line.append(data.substr(0, newline));
        if (newline != std::string_view::npos || static_cast<std::size_t>(got) < block.size())
            return std::string(trimmed(line).text);
    }
    return std::nullopt;
}

// The whole file into a spool, and how many lines it holds (as forEachLine counts them);
// nothing (errno tells why) when it cannot be read. A spool that cannot be written is left
// closed.
std::optional<std::size_t> copyInto(const platform::RandomAccessFile& file, platform::SpoolFile& spool)
{
    std::string block(kBlock, '\0');
    std::size_t lines = 0;
    bool lineOpen = false; // bytes after the last line feed
    for (std::int64_t offset = 0;;) {
        std::int64_t got = file.readAt(offset, block.data(), block.size());
        if (got < 0)
            return std::nullopt;
        std::string_view data(block.data(), static_cast<std::size_t>(got));
        if (spool.isOpen() && !spool.append(data))
            spool = platform::SpoolFile();
        lines += static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n'));
        if (!data.empty())
            lineOpen = data.back() != '\n';
        offset += got;
        if (data.size() < block.size())
            return lines + (lineOpen ? 1 : 0);
    }
}

} // namespace

// Read once from where it lies, then from a copy of the program's own: the lines looked up
// while files are checked never wait for the medium under test (which may be failing), and
// a manifest changed on disk meanwhile still answers as it was read.
std::int64_t ManifestSet::Source::readAt(std::int64_t offset, char* buffer, std::size_t length) const
{
    return copy.isOpen() ? copy.readAt(offset, buffer, length) : file.readAt(offset, buffer, length);
}

bool ManifestSet::add(const std::string& path, const std::string& base, std::optional<HashAlgorithm> bagit,
                      bool fromMedium)
{
    Source source{
        platform::RandomAccessFile::open(path, fromMedium), platform::SpoolFile::create(), LineRules(bagit), base, {}};
    if (!source.file.isOpen())
        return false;
    // Counted as it is copied, so that the index grows once, to its size, and not to twice that.
    auto lines = copyInto(source.file, source.copy);
    if (!lines)
        return false;
    if (source.copy.isOpen())
        source.file = platform::RandomAccessFile(); // the medium's descriptor is not kept
    const auto manifest = static_cast<std::uint32_t>(sources_.size());
    records_.reserve(records_.size() + *lines);
    ManifestSummary summary;
    summary.path = path;
    std::uint32_t number = 0;
    bool read = forEachLine(source, [&](std::uint64_t offset, std::optional<std::string_view> line, bool crlf) {
        ++number;
        ManifestEntry entry;
        auto kind = line ? source.rules.learn(*line, crlf, &entry) : LineRules::Kind::Improper;
        if (kind == LineRules::Kind::Improper) {
            ++summary.improperLines;
            return;
        }
        if (kind == LineRules::Kind::Skipped)
            return;
        ++summary.entries;
        auto keys = keysOf(source, entry);
        if (keys.empty())
            ++outside_;
        for (const std::string& key : keys)
            records_.push_back({hashOf(key), offset, number, manifest});
    });
    if (!read)
        return false;
    summary.format = source.rules.format().value_or(ManifestFormat::Coreutils);
    summary.algorithm = source.rules.algorithmText();
    source.checked.assign(number + 1, false);
    summaries_.push_back(std::move(summary));
    sources_.push_back(std::move(source));
    return true;
}

void ManifestSet::seal()
{
    std::sort(records_.begin(), records_.end(), [](const Record& a, const Record& b) {
        return a.hash != b.hash ? a.hash < b.hash
                                : (a.manifest != b.manifest ? a.manifest < b.manifest : a.number < b.number);
    });
}

// A name that is not UTF-8 may be a Windows-1250 name of a manifest made on Windows: it is
// looked up as it stands, then converted.
std::vector<std::string> ManifestSet::keysOf(const Source& source, const ManifestEntry& entry) const
{
    std::vector<std::string> keys;
    if (auto key = root_.resolve(source.base, entry.name))
        keys.push_back(std::move(*key));
    if (common::validUtf8(entry.name) != entry.name) {
        if (auto key = root_.resolve(source.base, common::cp1250ToUtf8(entry.name)))
            keys.push_back(std::move(*key));
    }
    return keys;
}

std::vector<ManifestSet::Line> ManifestSet::find(const std::string& key) const
{
    std::vector<Line> lines;
    const std::uint64_t hash = hashOf(key);
    auto first = std::lower_bound(records_.begin(), records_.end(), hash,
                                  [](const Record& r, std::uint64_t h) { return r.hash < h; });
    for (auto it = first; it != records_.end() && it->hash == hash; ++it) {
        const Source& source = sources_[it->manifest];
        auto text = lineAt(it->manifest, it->offset);
        auto entry = text ? source.rules.parse(*text) : std::nullopt;
        if (!entry)
            continue;
        auto keys = keysOf(source, *entry);
        if (std::find(keys.begin(), keys.end(), key) != keys.end())
            lines.push_back({it->manifest, it->number, std::move(*entry)});
    }
    return lines;
}

std::optional<std::string> ManifestSet::lineAt(std::uint32_t manifest, std::uint64_t offset) const
{
    auto fromBlock = [&]() -> std::optional<std::string> {
        if (block_.manifest != manifest || offset < block_.start || offset - block_.start >= block_.data.size())
            return std::nullopt;
        std::string_view rest = std::string_view(block_.data).substr(offset - block_.start);
        std::size_t newline = rest.find('\n');
        if (newline == std::string_view::npos && !block_.last)
            return std::nullopt; // goes on past the block
        return std::string(trimmed(rest.substr(0, newline)).text);
    };
    if (auto line = fromBlock())
        return line;
    const Source& source = sources_[manifest];
    block_.data.resize(kBlock);
    std::int64_t got = source.readAt(static_cast<std::int64_t>(offset), block_.data.data(), block_.data.size());
    if (got < 0) {
        block_ = ReadBlock();
        return std::nullopt;
    }
    block_.data.resize(static_cast<std::size_t>(got));
    block_.manifest = manifest;
    block_.start = offset;
    block_.last = static_cast<std::size_t>(got) < kBlock;
    if (auto line = fromBlock())
        return line;
    return readLineAt(source, offset); // longer than a block
}

void ManifestSet::markChecked(const Line& line)
{
    sources_[line.manifest].checked[line.number] = true;
}

void ManifestSet::forEachUnchecked(
    const std::function<void(std::size_t manifest, std::uint32_t line, const std::string& key)>& visit) const
{
    for (std::size_t m = 0; m < sources_.size(); ++m) {
        const Source& source = sources_[m];
        std::uint32_t number = 0;
        forEachLine(source, [&](std::uint64_t, std::optional<std::string_view> line, bool) {
            ++number;
            if (!line || source.checked[number])
                return;
            auto entry = source.rules.parse(*line);
            if (!entry)
                return;
            auto keys = keysOf(source, *entry);
            if (!keys.empty())
                visit(m, number, keys.front());
        });
    }
}

HashSet ManifestSet::algorithms() const
{
    HashSet set = 0;
    for (const Source& s : sources_)
        set |= s.rules.algorithms();
    return set;
}

} // namespace engine
