#include "archive/psk_format.h"
#include "archive/pskomp.h"
#include "archive/pskomp_texts.h"
#include "common/pelun.h"
#include "common/psmath.h"

#include <zlib.h>

#include <new>

namespace archive {

namespace {

constexpr std::size_t kInflatePiece = 4096;
constexpr std::size_t kLooseReadPiece = 64 * 1024;

class Inflater {
public:
    Inflater() { ok_ = ::inflateInit(&z_) == Z_OK; }
    ~Inflater()
    {
        if (ok_)
            ::inflateEnd(&z_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool ok() const { return ok_; }
    z_stream& stream() { return z_; }

private:
    z_stream z_{};
    bool ok_ = false;
};

// Appends the whole file to out in pieces, so memory grows only with data that arrived.
bool appendWholeFile(const platform::ReadOnlyFile& file, common::ByteBuffer& out)
{
    std::int64_t offset = 0;
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + kLooseReadPiece);
        std::int64_t got = file.readAt(offset, out.data() + at, kLooseReadPiece);
        out.resize(at + static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        offset += got;
    }
}

} // namespace

std::int32_t Pskomp::PSK_GetFileStream(const std::string& name)
{
    common::MemoryStream* ignored = nullptr;
    return PSK_GetFileStream(name, ignored);
}

std::int32_t Pskomp::PSK_GetFileStream(const std::string& name, common::MemoryStream*& stream)
{
    fileData_.clear();
    psk_File location;
    std::int32_t n = PSK_GetFileLocation(location, name);
    if (n < 0)
        return -1;
    std::int32_t result =
        n == kLooseFile ? loadLooseFile(name) : extractMember(slots_[static_cast<std::size_t>(n)], location);
    if (result >= 0)
        stream = &fileData_;
    return result;
}

std::int32_t Pskomp::extractByIndex(std::int32_t archNumber, std::int32_t index, common::MemoryStream*& stream)
{
    fileData_.clear();
    if (PSK_CheckArchNumber(archNumber, "extractByIndex") != 0)
        return -1;
    PSKArchive& a = slots_[static_cast<std::size_t>(archNumber)];
    if (index < 0 || index >= a.filesCount)
        return -1;
    format::TableRecord r = format::recordAt(a.table, static_cast<std::size_t>(index));
    // A lookup by name can never reach such a member; a tool that walks the table must not
    // pass it as sound either.
    if (!format::nameIsTerminated(a.names, r.nameOffset)) {
        fatal(texts::kBadMemberName);
        return -1;
    }
    psk_File location{r.fileNumber, r.size, r.comprSize, r.dataOffset, r.nameOffset,
                      r.method,     r.crc,  r.reserved1, r.reserved2,  {}};
    std::int32_t result = extractMember(a, location);
    if (result >= 0)
        stream = &fileData_;
    return result;
}

std::int32_t Pskomp::loadLooseFile(const std::string& name)
{
    auto path = looseFilePath(name);
    platform::ReadOnlyFile file;
    bool loaded = false;
    if (path && file.open(*path) == platform::ReadOnlyFile::Open::Opened) {
        try {
            loaded = appendWholeFile(file, fileData_.storage());
        } catch (const std::bad_alloc&) {
            loaded = false;
        }
    }
    if (loaded) {
        fileData_.seek(0);
        return 0;
    }
    fileData_.storage() = {};
    fileData_.clear();
    fatal(texts::kLooseLoadStart + name + texts::kQuoteEnd);
    return -1;
}

// Copies the member's stored bytes into ComprData after checking both check marks; as the
// read delivers exactly ComprSize bytes or fails, the stored data has no other length. Every
// read stays inside the data area: a block that would reach past its end cannot be read,
// and nothing outside the area (the closing bytes, or beyond the memory copy) is ever taken
// for a block.
bool Pskomp::readStoredData(PSKArchive& a, const psk_File& loc)
{
    const bool fromFile = a.mode == 1;
    const std::int64_t offset = loc.DataOffset;
    auto readFailure = [&] { return fatal(texts::kMemberReadStart + a.path + texts::kQuoteEnd); };
    auto readAt = [&](std::int64_t at, std::uint8_t* out, std::size_t count) {
        if (!fromFile) {
            std::copy_n(a.data.data() + at, count, out);
            return true;
        }
        return a.file.readAt(a.dataStart + at, out, count) == static_cast<std::int64_t>(count);
    };
    constexpr std::size_t kHead = 5;
    std::uint8_t head[kHead] = {};
    // A block before the data area's start has no marks the format could have put there.
    if (offset >= 0) {
        if (offset + static_cast<std::int64_t>(kHead) > a.dataSize || !readAt(offset, head, kHead))
            return readFailure();
    }
    if (offset < 0 || head[0] != format::kMarkBlockStart || format::readInt32(head + 1) != loc.FileNumber) {
        pelun_.PS_InternalError(fromFile ? texts::kInternalBlockFile1 : texts::kInternalBlockMemory1,
                                fromFile ? texts::kBlockFile1 : texts::kBlockMemory1);
        return false;
    }
    comprData_.clear();
    fileData_.clear();
    const std::int64_t start = offset + static_cast<std::int64_t>(kHead);
    const std::int64_t count = loc.ComprSize;
    if (count < 0 || start + count + 1 > a.dataSize)
        return readFailure();
    common::ByteBuffer& stored = comprData_.storage();
    stored.resize(static_cast<std::size_t>(count));
    std::uint8_t mark = 0;
    if (!readAt(start, stored.data(), stored.size()) || !readAt(start + count, &mark, 1))
        return readFailure();
    if (mark != format::kMarkBlockEnd) {
        pelun_.PS_InternalError(fromFile ? texts::kInternalBlockFile2 : texts::kInternalBlockMemory2,
                                fromFile ? texts::kBlockFile2 : texts::kBlockMemory2);
        return false;
    }
    return true;
}

std::int32_t Pskomp::extractMember(PSKArchive& a, const psk_File& loc)
{
    try {
        if (!readStoredData(a, loc))
            return -1;
    } catch (const std::bad_alloc&) {
        fatal(texts::kWriteError);
        return -1;
    }
    comprData_.seek(0);
    // Deflate cannot expand data by more than 1032 : 1; a member claiming more content than
    // its stored bytes can hold is damaged, and is refused before anything is inflated.
    if (loc.Method == format::kMethodZlib && loc.Size > format::maxInflatedSize(loc.ComprSize)) {
        fatal(texts::kContentLength);
        return -1;
    }
    std::uint32_t checksum = 0;
    if (!PSK_Compress(fileData_, comprData_, loc.Method, loc.ComprSize, std::max(loc.Size, 0), &checksum))
        return -1;
    fileData_.seek(0);
    const char* failure = nullptr;
    if (static_cast<std::int64_t>(fileData_.size()) != loc.Size)
        failure = texts::kContentLength;
    else if (checksum != static_cast<std::uint32_t>(loc.CRC))
        failure = texts::kCrcError;
    if (failure != nullptr) {
        fatal(failure);
        return -1;
    }
    comprData_.clear();
    return 1;
}

bool Pskomp::PSK_Compress(common::MemoryStream& dest, common::MemoryStream& source, std::int32_t method,
                          std::int32_t count, std::int64_t limit, std::uint32_t* checksum)
{
    if (count < 0 || source.remaining() < static_cast<std::size_t>(count))
        return fatal(texts::kComprDataShort);
    // The stored bytes are read in place: a private copy would only cost time and memory.
    std::span<const std::uint8_t> stored = source.unread().first(static_cast<std::size_t>(count));
    source.seek(source.position() + stored.size());
    if (method == format::kMethodStored) {
        try {
            dest.write(stored.data(), stored.size());
        } catch (const std::bad_alloc&) {
            return fatal(texts::kWriteError);
        }
        if (checksum != nullptr)
            *checksum = common::PSK_CRC32Update(*checksum, stored);
        return true;
    }
    if (method != format::kMethodZlib)
        return true;
    switch (inflate(dest, stored, limit, checksum)) {
    case Inflated::Ok: return true;
    case Inflated::NoMemory:
        // Give back what the content took, so the program can go on.
        dest.storage() = {};
        dest.clear();
        return fatal(texts::kWriteError);
    case Inflated::Damaged: break;
    }
    return fatal(texts::kInflateError);
}

// Inflates into dest in pieces of 4096 bytes until the stream ends or its input runs out (a
// cut stream simply yields less content), checksumming each piece while it is fresh in the
// cache. The content grows with what arrives; output beyond limit is not produced.
Pskomp::Inflated Pskomp::inflate(common::MemoryStream& dest, std::span<const std::uint8_t> source, std::int64_t limit,
                                 std::uint32_t* checksum)
{
    Inflater inflater;
    if (!inflater.ok())
        return Inflated::NoMemory;
    z_stream& z = inflater.stream();
    z.next_in = const_cast<Bytef*>(source.data());
    z.avail_in = static_cast<uInt>(source.size());
    common::ByteBuffer& out = dest.storage();
    const std::size_t first = dest.position();
    std::size_t used = first;
    Inflated result = Inflated::Ok;
    try {
        while (static_cast<std::int64_t>(used - first) <= limit) {
            out.resize(used + kInflatePiece);
            z.next_out = out.data() + used;
            z.avail_out = static_cast<uInt>(kInflatePiece);
            int rc = ::inflate(&z, Z_NO_FLUSH);
            const std::size_t produced = kInflatePiece - z.avail_out;
            if (checksum != nullptr)
                *checksum = common::PSK_CRC32Update(*checksum, {out.data() + used, produced});
            used += produced;
            if (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_in == 0))
                break;
            if (rc == Z_MEM_ERROR) {
                result = Inflated::NoMemory;
                break;
            }
            if (rc != Z_OK) {
                result = Inflated::Damaged;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        result = Inflated::NoMemory;
    }
    out.resize(std::min(used, out.size()));
    dest.seek(out.size());
    return result;
}

} // namespace archive
