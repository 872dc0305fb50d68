#include "engine/manifest_format.h"

#include <charconv>

namespace engine {

namespace {

std::optional<HashAlgorithm> algorithmOfHexLength(std::size_t length)
{
    switch (length) {
    case 32: return HashAlgorithm::Md5;
    case 40: return HashAlgorithm::Sha1;
    case 64: return HashAlgorithm::Sha256;
    case 128: return HashAlgorithm::Sha512;
    default: return std::nullopt;
    }
}

// The tag of a BSD line: coreutils' "SHA256", OpenSSL's "SHA2-256".
std::optional<HashAlgorithm> algorithmOfTag(std::string_view tag)
{
    if (tag == "MD5")
        return HashAlgorithm::Md5;
    if (tag == "SHA1")
        return HashAlgorithm::Sha1;
    if (tag == "SHA256" || tag == "SHA2-256")
        return HashAlgorithm::Sha256;
    if (tag == "SHA512" || tag == "SHA2-512")
        return HashAlgorithm::Sha512;
    return std::nullopt;
}

// coreutils' escapes of a line that begins with "\": "\\", "\n" and "\r".
std::optional<std::string> unescaped(std::string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out += name[i];
            continue;
        }
        if (++i == name.size())
            return std::nullopt;
        switch (name[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

// BagIt encodes only line ends and the percent sign itself.
std::string percentDecoded(std::string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size()) {
            std::string_view code = name.substr(i + 1, 2);
            char c = 0;
            if (code == "0A" || code == "0a")
                c = '\n';
            else if (code == "0D" || code == "0d")
                c = '\r';
            else if (code == "25")
                c = '%';
            if (c != 0) {
                out += c;
                i += 2;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

std::string windowsSeparators(std::string name)
{
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

struct Parsed {
    HashAlgorithm algorithm;
    std::string digest;
    std::string name;
};

// "HEX  NAME" or "HEX *NAME".
std::optional<Parsed> gnuLine(std::string_view line)
{
    std::size_t n = 0;
    while (n < line.size() && isHexDigit(line[n]))
        ++n;
    auto algorithm = algorithmOfHexLength(n);
    if (!algorithm || n + 2 >= line.size())
        return std::nullopt;
    if (line[n] != ' ' || (line[n + 1] != ' ' && line[n + 1] != '*'))
        return std::nullopt;
    return Parsed{*algorithm, fromHex(line.substr(0, n)), std::string(line.substr(n + 2))};
}

// "TAG (NAME) = HEX", also OpenSSL's "TAG(NAME)= HEX".
std::optional<Parsed> bsdLine(std::string_view line)
{
    std::size_t open = line.find('(');
    if (open == std::string_view::npos || open == 0)
        return std::nullopt;
    std::string_view tag = line.substr(0, open);
    if (tag.back() == ' ')
        tag.remove_suffix(1);
    auto algorithm = algorithmOfTag(tag);
    if (!algorithm)
        return std::nullopt;
    std::size_t close = line.rfind(')');
    if (close == std::string_view::npos || close <= open + 1)
        return std::nullopt;
    std::string_view rest = line.substr(close + 1);
    if (rest.starts_with(" = "))
        rest.remove_prefix(3);
    else if (rest.starts_with("= "))
        rest.remove_prefix(2);
    else
        return std::nullopt;
    if (rest.size() != digestBytes(*algorithm) * 2)
        return std::nullopt;
    std::string digest = fromHex(rest);
    if (digest.empty())
        return std::nullopt;
    return Parsed{*algorithm, std::move(digest), std::string(line.substr(open + 1, close - open - 1))};
}

// "NAME CRC32"
std::optional<Parsed> sfvLine(std::string_view line)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    if (line.size() < 10)
        return std::nullopt;
    std::string_view crc = line.substr(line.size() - 8);
    std::string_view name = line.substr(0, line.size() - 8);
    if (name.back() != ' ' && name.back() != '\t')
        return std::nullopt;
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    std::string digest = fromHex(crc);
    if (name.empty() || digest.empty())
        return std::nullopt;
    return Parsed{HashAlgorithm::Crc32, std::move(digest), std::string(name)};
}

std::optional<std::int64_t> number(std::string_view text)
{
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

const char* formatName(ManifestFormat format)
{
    switch (format) {
    case ManifestFormat::Coreutils: return "coreutils";
    case ManifestFormat::Bsd: return "bsd";
    case ManifestFormat::Sfv: return "sfv";
    case ManifestFormat::Hashdeep: return "hashdeep";
    case ManifestFormat::Bagit: return "bagit";
    }
    return "";
}

LineRules::LineRules(std::optional<HashAlgorithm> bagit)
{
    if (bagit) {
        format_ = ManifestFormat::Bagit;
        algorithms_ = bitOf(*bagit);
    }
}

std::string LineRules::algorithmText() const
{
    std::string text;
    for (std::size_t i = 0; i < kHashAlgorithms; ++i) {
        auto a = static_cast<HashAlgorithm>(i);
        if ((algorithms_ & bitOf(a)) == 0)
            continue;
        if (!text.empty())
            text += ',';
        text += algorithmName(a);
    }
    return text;
}

LineRules::Kind LineRules::learn(std::string_view line, bool crlf, ManifestEntry* entry)
{
    if (!decided_) {
        decided_ = true;
        windows_ = crlf;
    }
    if (!format_ && line.starts_with("%%%% HASHDEEP-1.0")) {
        format_ = ManifestFormat::Hashdeep;
        hashdeepStage_ = 1;
        return Kind::Skipped;
    }
    if (format_ == ManifestFormat::Hashdeep && hashdeepStage_ == 1 && line.starts_with("%%%% "))
        return hashdeepHeader(line) ? Kind::Skipped : Kind::Improper;
    ManifestEntry scratch;
    ManifestEntry& e = entry ? *entry : scratch;
    if (format_)
        return fixAlgorithm(parseInto(line, e), e);
    if (line.empty() || line.front() == '#' || line.front() == ';')
        return Kind::Skipped;
    // The first line that fits a format fixes it, and its algorithm, for the rest.
    for (ManifestFormat f : {ManifestFormat::Coreutils, ManifestFormat::Sfv}) {
        format_ = f;
        algorithms_ = 0;
        if (parseInto(line, e) != Kind::Entry)
            continue;
        if (f == ManifestFormat::Coreutils && bsdLine(line.front() == '\\' ? line.substr(1) : line))
            format_ = ManifestFormat::Bsd;
        return fixAlgorithm(Kind::Entry, e);
    }
    format_.reset();
    return Kind::Improper;
}

// The first entry fixes the algorithm of a manifest that does not name one of its own.
LineRules::Kind LineRules::fixAlgorithm(Kind kind, const ManifestEntry& e)
{
    if (kind == Kind::Entry && algorithms_ == 0 && !e.digests.empty())
        algorithms_ = bitOf(e.digests.front().first);
    return kind;
}

std::optional<ManifestEntry> LineRules::parse(std::string_view line) const
{
    ManifestEntry e;
    if (!format_ || parseInto(line, e) != Kind::Entry)
        return std::nullopt;
    return e;
}

bool LineRules::hashdeepHeader(std::string_view line)
{
    std::string_view names = line.substr(5);
    columns_.clear();
    sizeColumn_ = -1;
    bool filename = false;
    while (!names.empty()) {
        std::size_t comma = names.find(',');
        std::string_view name = names.substr(0, comma);
        if (name == "filename") {
            filename = comma == std::string_view::npos;
            break;
        }
        if (name == "size")
            sizeColumn_ = static_cast<int>(columns_.size());
        auto a = algorithmNamed(name);
        if (a == HashAlgorithm::Crc32)
            a.reset();
        columns_.push_back(a);
        if (a)
            algorithms_ |= bitOf(*a);
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    }
    if (!filename)
        return false;
    hashdeepStage_ = 2;
    return true;
}

LineRules::Kind LineRules::hashdeepLine(std::string_view line, ManifestEntry& entry) const
{
    if (line.empty() || line.starts_with("##") || line.starts_with("%%%%"))
        return Kind::Skipped;
    if (hashdeepStage_ != 2)
        return Kind::Improper;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        std::size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            return Kind::Improper;
        std::string_view field = line.substr(0, comma);
        line.remove_prefix(comma + 1);
        if (static_cast<int>(i) == sizeColumn_) {
            entry.size = number(field);
            if (!entry.size)
                return Kind::Improper;
        } else if (columns_[i]) {
            std::string digest = fromHex(field);
            if (digest.size() != digestBytes(*columns_[i]))
                return Kind::Improper;
            entry.digests.emplace_back(*columns_[i], std::move(digest));
        }
    }
    if (line.empty())
        return Kind::Improper;
    entry.name = std::string(line);
    return Kind::Entry;
}

LineRules::Kind LineRules::parseInto(std::string_view line, ManifestEntry& entry) const
{
    entry = {};
    if (format_ == ManifestFormat::Hashdeep)
        return hashdeepLine(line, entry);
    if (line.empty())
        return Kind::Skipped;
    if (format_ == ManifestFormat::Bagit) {
        std::size_t n = 0;
        while (n < line.size() && isHexDigit(line[n]))
            ++n;
        std::size_t name = line.find_first_not_of(" \t", n);
        HashAlgorithm a = static_cast<HashAlgorithm>(__builtin_ctz(algorithms_));
        if (n != digestBytes(a) * 2 || name == n || name == std::string_view::npos)
            return Kind::Improper;
        entry.digests.emplace_back(a, fromHex(line.substr(0, n)));
        entry.name = percentDecoded(line.substr(name));
        return Kind::Entry;
    }
    std::optional<Parsed> p;
    bool escaped = false;
    if (format_ == ManifestFormat::Sfv) {
        if (line.front() == ';')
            return Kind::Skipped;
        p = sfvLine(line);
    } else {
        if (line.front() == '#')
            return Kind::Skipped;
        // A GNU or BSD line alike, as sha256sum -c takes both.
        escaped = line.front() == '\\';
        std::string_view body = escaped ? line.substr(1) : line;
        p = bsdLine(body);
        if (!p)
            p = gnuLine(body);
    }
    if (!p || p->name.empty())
        return Kind::Improper;
    if (algorithms_ != 0 && algorithms_ != bitOf(p->algorithm))
        return Kind::Improper;
    if (escaped) {
        auto name = unescaped(p->name);
        if (!name)
            return Kind::Improper;
        p->name = std::move(*name);
    } else if (windows_) {
        p->name = windowsSeparators(std::move(p->name));
    }
    entry.name = std::move(p->name);
    entry.digests.emplace_back(p->algorithm, std::move(p->digest));
    return Kind::Entry;
}

} // namespace engine
