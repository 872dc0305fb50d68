#include "archive/checksum_follower.h"
#include "archive/psk_format.h"
#include "archive/pskomp.h"
#include "archive/pskomp_texts.h"
#include "common/pelun.h"
#include "common/psmath.h"

#include <zlib.h>

#include <fstream>
#include <new>

namespace archive {

namespace {

constexpr std::size_t kInflatePiece = 4096;
// Deflate cannot expand data by more than about 1032 : 1, so a member claiming more content
// than that is damaged; reserving no more keeps a forged Size from claiming memory.
constexpr std::int64_t kMaxDeflateRatio = 1032;
// From this size on a member's checksum is computed alongside inflating it.
constexpr std::int64_t kFollowChecksumFrom = 1 << 20;

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
    std::int32_t result = n == kLooseFile ? loadLooseFile(name) : extractMember(slots_[static_cast<std::size_t>(n)], location);
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
    psk_File location{r.fileNumber, r.size, r.comprSize, r.dataOffset, r.nameOffset,
                      r.method, r.crc, r.reserved1, r.reserved2, {}};
    std::int32_t result = extractMember(a, location);
    if (result >= 0)
        stream = &fileData_;
    return result;
}

std::int32_t Pskomp::loadLooseFile(const std::string& name)
{
    auto path = looseFilePath(name);
    try {
        std::ifstream in;
        if (path)
            in.open(*path, std::ios::binary);
        if (in) {
            in.seekg(0, std::ios::end);
            auto size = static_cast<std::size_t>(in.tellg());
            in.seekg(0);
            fileData_.storage().resize(size);
            if (in.read(reinterpret_cast<char*>(fileData_.storage().data()), static_cast<std::streamsize>(size))) {
                fileData_.seek(0);
                return 0;
            }
        }
    } catch (const std::exception&) {
        // Reported below like any other failure to load.
    }
    fileData_.clear();
    fatal(texts::kLooseLoadStart + name + texts::kQuoteEnd);
    return -1;
}

// Copies the member's stored bytes into ComprData after checking both check marks. The
// block is sought only inside the data area: a damaged DataOffset or ComprSize fails the
// marks instead of reaching other parts of the file or beyond the memory copy.
bool Pskomp::readStoredData(PSKArchive& a, const psk_File& loc)
{
    const bool fromFile = a.mode == 1;
    const std::int64_t offset = loc.DataOffset;
    std::uint8_t head[5] = {};
    std::int64_t got = 0;
    if (offset >= 0 && offset + 5 <= a.dataSize) {
        if (fromFile) {
            got = a.file.readAt(a.dataStart + offset, head, sizeof head);
            if (got < 0)
                return fatal(texts::kMemberReadStart + a.path + texts::kQuoteEnd);
        } else {
            std::copy_n(a.data.data() + offset, 5, head);
            got = 5;
        }
    }
    if (got != 5 || head[0] != format::kMarkBlockStart || format::readInt32(head + 1) != loc.FileNumber) {
        pelun_.PS_InternalError(fromFile ? texts::kInternalBlockFile1 : texts::kInternalBlockMemory1,
                                fromFile ? texts::kBlockFile1 : texts::kBlockMemory1);
        return false;
    }
    comprData_.clear();
    fileData_.clear();
    const std::int64_t start = offset + 5;
    const std::int64_t available = std::min<std::int64_t>(std::max(loc.ComprSize, 0), a.dataSize - start);
    common::ByteBuffer& stored = comprData_.storage();
    stored.resize(static_cast<std::size_t>(available));
    std::uint8_t mark = 0;
    bool markRead = start + available < a.dataSize && available == loc.ComprSize;
    if (fromFile) {
        got = a.file.readAt(a.dataStart + start, stored.data(), stored.size());
        std::int64_t markGot = markRead ? a.file.readAt(a.dataStart + start + got, &mark, 1) : 0;
        if (got < 0 || markGot < 0)
            return fatal(texts::kMemberReadStart + a.path + texts::kQuoteEnd);
        stored.resize(static_cast<std::size_t>(got));
        markRead = markRead && markGot == 1;
    } else {
        std::copy_n(a.data.data() + start, available, stored.data());
        if (markRead)
            mark = a.data[static_cast<std::size_t>(start + available)];
    }
    if (!markRead || mark != format::kMarkBlockEnd) {
        pelun_.PS_InternalError(fromFile ? texts::kInternalBlockFile2 : texts::kInternalBlockMemory2,
                                fromFile ? texts::kBlockFile2 : texts::kBlockMemory2);
        return false;
    }
    if (static_cast<std::int64_t>(stored.size()) != loc.ComprSize) {
        pelun_.PS_InternalError(texts::kInternalStoredLength, texts::kStoredLength);
        return false;
    }
    return true;
}

std::int32_t Pskomp::extractMember(PSKArchive& a, const psk_File& loc)
{
    if (!readStoredData(a, loc))
        return -1;
    comprData_.seek(0);
    std::int64_t limit = loc.Size;
    if (loc.Method == format::kMethodZlib)
        limit = std::min<std::int64_t>(limit, std::int64_t{loc.ComprSize} * kMaxDeflateRatio + 64);
    limit = std::max<std::int64_t>(limit, 0);
    std::optional<ChecksumFollower> follower;
    std::function<void(std::size_t)> progress;
    if (loc.Method == format::kMethodZlib && limit >= kFollowChecksumFrom) {
        // The buffer is reserved whole before the follower starts, so it never moves under it.
        fileData_.storage().reserve(static_cast<std::size_t>(limit) + kInflatePiece);
        follower.emplace(fileData_.storage().data());
        progress = [&follower](std::size_t produced) { follower->advance(produced); };
    }
    bool inflated = PSK_Compress(fileData_, comprData_, loc.Method, loc.ComprSize, limit, progress);
    std::uint32_t followed = follower ? follower->finish(fileData_.size()) : 0;
    if (!inflated)
        return -1;
    fileData_.seek(0);
    const char* failure = nullptr;
    if (static_cast<std::int64_t>(fileData_.size()) != loc.Size)
        failure = texts::kContentLength;
    else if ((follower ? followed : common::PSK_CRC32(fileData_)) != static_cast<std::uint32_t>(loc.CRC))
        failure = texts::kCrcError;
    if (failure != nullptr) {
        fatal(failure);
        return -1;
    }
    fileData_.seek(0);
    comprData_.clear();
    return 1;
}

bool Pskomp::PSK_Compress(common::MemoryStream& dest, common::MemoryStream& source, std::int32_t method,
                          std::int32_t count, std::int64_t limit, const std::function<void(std::size_t)>& progress)
{
    if (count < 0 || source.remaining() < static_cast<std::size_t>(count))
        return fatal(texts::kComprDataShort);
    // The stored bytes are read in place: a private copy would only cost time and memory.
    std::span<const std::uint8_t> stored = source.unread().first(static_cast<std::size_t>(count));
    source.seek(source.position() + stored.size());
    try {
        if (method == format::kMethodStored) {
            dest.write(stored.data(), stored.size());
            return true;
        }
        if (method != format::kMethodZlib)
            return true;
    } catch (const std::bad_alloc&) {
        return fatal(texts::kWriteError);
    }
    if (!inflate(dest, stored, limit, progress))
        return fatal(texts::kInflateError);
    return true;
}

// Inflates into dest in pieces of 4096 bytes until the stream ends or its input runs out (a
// cut stream simply yields less content). Output beyond limit is not produced.
bool Pskomp::inflate(common::MemoryStream& dest, std::span<const std::uint8_t> source, std::int64_t limit,
                     const std::function<void(std::size_t)>& progress)
{
    Inflater inflater;
    if (!inflater.ok())
        return false;
    z_stream& z = inflater.stream();
    z.next_in = const_cast<Bytef*>(source.data());
    z.avail_in = static_cast<uInt>(source.size());
    common::ByteBuffer& out = dest.storage();
    std::size_t used = dest.position();
    try {
        // Room for the limit and one piece beyond it: the buffer never moves while inflating,
        // which a checksum follower relies on.
        out.reserve(used + static_cast<std::size_t>(limit) + kInflatePiece);
        for (;;) {
            if (static_cast<std::int64_t>(used - dest.position()) > limit)
                break;
            if (out.size() < used + kInflatePiece)
                out.resize(std::max(used + kInflatePiece, std::min(out.capacity(), 2 * out.size())));
            z.next_out = out.data() + used;
            z.avail_out = static_cast<uInt>(kInflatePiece);
            int rc = ::inflate(&z, Z_NO_FLUSH);
            used += kInflatePiece - z.avail_out;
            if (progress)
                progress(used);
            if (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_in == 0))
                break;
            if (rc != Z_OK) {
                out.resize(used);
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    out.resize(used);
    dest.seek(used);
    return true;
}

} // namespace archive
