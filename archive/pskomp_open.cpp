#include "archive/psk_format.h"
#include "archive/pskomp.h"
#include "archive/pskomp_texts.h"
#include "common/pelun.h"
#include "platform/filesystem.h"

#include <new>

namespace archive {

namespace {

using Result = std::optional<std::string>;

// Reads the archive front to back the way the acceptance rules walk it. Nothing is allocated
// before the file is known to hold the bytes, so a hostile length cannot claim memory.
class Reader {
public:
    Reader(const platform::ReadOnlyFile& file, const std::string& path) : file_(file), path_(path) {}

    std::int64_t position() const { return position_; }
    std::int64_t remaining() const { return file_.size() - position_; }
    void seek(std::int64_t position) { position_ = position; }

    // false: the file ended or the device failed; the message is then in error().
    bool read(void* out, std::size_t count)
    {
        std::int64_t n = file_.readAt(position_, out, count);
        if (n != static_cast<std::int64_t>(count)) {
            error_ = texts::kCannotOpenStart + path_ + texts::kReadErrorEnd;
            return false;
        }
        position_ += n;
        return true;
    }

    bool readBlock(std::vector<std::uint8_t>& out, std::int64_t count)
    {
        if (count > remaining()) {
            error_ = texts::kCannotOpenStart + path_ + texts::kReadErrorEnd;
            return false;
        }
        out.resize(static_cast<std::size_t>(count));
        return read(out.data(), out.size());
    }

    const std::string& error() const { return error_; }

private:
    const platform::ReadOnlyFile& file_;
    const std::string& path_;
    std::int64_t position_ = 0;
    std::string error_;
};

std::string damaged(const std::string& path, const std::string& detail)
{
    return texts::kFileStart + path + texts::kDamaged + detail;
}

Result checkMagic(Reader& in, PSKArchive&, const std::string& path)
{
    static const char kMagic[] = {'P', 'S', 'K'};
    for (char expected : kMagic) {
        char c = 0;
        if (!in.read(&c, 1) || c != expected)
            return texts::kFileStart + path + texts::kNotPsk;
    }
    // A file shorter than the header cannot be one of the maker's archives.
    if (in.remaining() < static_cast<std::int64_t>(format::kHeaderSize) - 3)
        return texts::kFileStart + path + texts::kNotPsk;
    return std::nullopt;
}

Result readHeader(Reader& in, PSKArchive& a, const std::string& path)
{
    std::uint8_t header[format::kHeaderSize];
    in.seek(0);
    if (!in.read(header, sizeof header))
        return in.error();
    a.formatVersion = format::readInt32(header + format::kOffsetFormatVersion);
    if (a.formatVersion != format::kFormatVersion)
        return texts::kFileStart + path + texts::kBadFormatVersion + std::to_string(a.formatVersion) +
            texts::kBadFormatVersionEnd;
    a.headerValue = format::readInt32(header + format::kOffsetHeaderValue);
    a.filesCount = format::readInt32(header + format::kOffsetFilesCount);
    a.dataVersion = format::readInt32(header + format::kOffsetDataVersion);
    a.headerShort = format::readInt16(header + format::kOffsetHeaderShort);
    if (header[format::kOffsetHeaderMark] != format::kMarkHeader)
        return damaged(path, texts::kMark200);
    if (a.filesCount < 0)
        return damaged(path, texts::kFilesCountStart + std::to_string(a.filesCount) + texts::kFilesCountEnd);
    if (a.filesCount == 0)
        return texts::kArchiveStart + path + texts::kNoFiles;
    return std::nullopt;
}

Result readTableAndNames(Reader& in, PSKArchive& a, const std::string& path)
{
    if (!in.readBlock(a.table, static_cast<std::int64_t>(a.filesCount) * format::kRecordSize))
        return in.error();
    std::uint8_t mark = 0;
    if (!in.read(&mark, 1))
        return in.error();
    if (mark != format::kMarkTable)
        return damaged(path, texts::kMark202);
    std::uint8_t length[4];
    if (!in.read(length, sizeof length))
        return in.error();
    std::int32_t namesLength = format::readInt32(length);
    // A negative length reads as an empty block; the length check after the table's numbers
    // refuses it, as it refuses an empty one.
    if (namesLength > 0 && !in.readBlock(a.names, namesLength))
        return in.error();
    return std::nullopt;
}

Result checkTable(Reader& in, PSKArchive& a, const std::string& path)
{
    std::int64_t veldat = 0;
    bool negative = false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(a.filesCount); ++i) {
        format::TableRecord r = format::recordAt(a.table, i);
        if (r.fileNumber != static_cast<std::int32_t>(i + 1))
            return damaged(path, texts::kFileNumber);
        negative = negative || r.comprSize < 0;
        veldat += std::int64_t{r.comprSize} + format::kBlockOverhead;
    }
    // The data area, its closing bytes and every block position must stay within int32.
    const std::int64_t expected = veldat + static_cast<std::int64_t>(format::kClosingSize);
    if (negative || a.names.empty() || in.remaining() != expected || in.position() + expected > INT32_MAX)
        return damaged(path, texts::kDataAreaLength);
    if (veldat < 1)
        return texts::kArchiveStart + path + texts::kNoData;
    a.dataStart = static_cast<std::int32_t>(in.position());
    a.dataSize = veldat;
    return std::nullopt;
}

Result readDataArea(Reader& in, PSKArchive& a, const std::string& path)
{
    a.data.resize(static_cast<std::size_t>(a.dataSize));
    if (!in.read(a.data.data(), a.data.size()))
        return damaged(path, texts::kDataAreaCopy);
    return std::nullopt;
}

} // namespace

std::optional<std::string> Pskomp::loadArchive(PSKArchive& a, const std::string& path, std::int32_t mode)
{
    // An archive that another process is writing could change while it is read.
    if (a.file.open(path) != platform::ReadOnlyFile::Open::Opened)
        return texts::kCannotOpenStart + path + texts::kCannotOpenEnd;
    Reader in(a.file, path);
    for (auto step : {checkMagic, readHeader, readTableAndNames, checkTable}) {
        if (Result failure = step(in, a, path))
            return failure;
    }
    if (mode == 0) {
        if (Result failure = readDataArea(in, a, path))
            return failure;
        a.file.close();
    }
    a.mode = mode;
    return std::nullopt;
}

bool Pskomp::PSK_OpenArchive(std::int32_t& archNumber, const std::string& path, std::int32_t mode)
{
    archNumber = -1;
    if (!initialized_)
        return fatal(std::string(texts::kLabelOpenArchive) + texts::kNotInitialized);
    if (openCount_ >= kMaxOpen)
        return fatal(texts::kTooManyArchives);
    if (mode != 0 && mode != 1)
        return fatal(texts::kBadMode);
    if (!platform::fileExists(path))
        return fatal(texts::kFileStart + path + texts::kNotExisting);
    for (const PSKArchive& s : slots_) {
        if (s.open && s.path == path)
            return fatal(texts::kAlreadyOpen);
    }
    PSKArchive* slot = nullptr;
    for (PSKArchive& s : slots_) {
        if (!s.open) {
            slot = &s;
            break;
        }
    }
    slot->path = path;
    PSKArchive candidate;
    candidate.path = path;
    candidate.number = slot->number;
    std::optional<std::string> failure;
    try {
        failure = loadArchive(candidate, path, mode);
    } catch (const std::bad_alloc&) {
        failure = texts::kOutOfMemory;
    }
    if (failure)
        return fatal(*failure);
    allocatedBytes_ +=
        static_cast<std::int64_t>(candidate.table.size() + candidate.names.size() + candidate.data.size());
    candidate.open = true;
    *slot = std::move(candidate);
    ++openCount_;
    archNumber = slot->number;
    return true;
}

} // namespace archive
