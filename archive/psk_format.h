#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The byte layout of the maker's archives, shared by the reader and the tools' writer.
namespace archive::format {

inline constexpr std::int32_t kFormatVersion = 20000;
inline constexpr std::size_t kHeaderSize = 130;
inline constexpr std::size_t kRecordSize = 36;
inline constexpr std::size_t kClosingSize = 15;
inline constexpr std::int64_t kBlockOverhead = 6; // check mark, FileNumber, check mark

inline constexpr std::size_t kOffsetFormatVersion = 101;
inline constexpr std::size_t kOffsetHeaderValue = 105;
inline constexpr std::size_t kOffsetFilesCount = 109;
inline constexpr std::size_t kOffsetDataVersion = 113;
inline constexpr std::size_t kOffsetHeaderShort = 117;
inline constexpr std::size_t kOffsetHeaderMark = 129;

inline constexpr std::uint8_t kMarkHeader = 200;
inline constexpr std::uint8_t kMarkTable = 202;
inline constexpr std::uint8_t kMarkBlockStart = 203;
inline constexpr std::uint8_t kMarkBlockEnd = 204;
inline constexpr std::uint8_t kNameEnd = '*';

inline constexpr std::int32_t kMethodStored = 0;
inline constexpr std::int32_t kMethodZlib = 1;

// One record of the file table, in file order (the checksum before the method).
struct TableRecord {
    std::int32_t fileNumber = 0;
    std::int32_t size = 0;
    std::int32_t comprSize = 0;
    std::int32_t dataOffset = 0;
    std::int32_t nameOffset = 0;
    std::int32_t crc = 0;
    std::int32_t method = 0;
    std::int32_t reserved1 = 0;
    std::int32_t reserved2 = 0;
};

inline std::int32_t readInt32(const std::uint8_t* p)
{
    std::uint32_t v =
        std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    return static_cast<std::int32_t>(v);
}

inline std::int16_t readInt16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(std::uint16_t{p[0]} | static_cast<std::uint16_t>(p[1] << 8));
}

inline void writeInt32(std::uint8_t* p, std::int32_t value)
{
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Record i of a table copy that holds at least i + 1 records.
TableRecord recordAt(std::span<const std::uint8_t> table, std::size_t i);
void storeRecord(std::uint8_t* p, const TableRecord& record);

// The stored name at offset in the names block matches sought (already upper-cased, a–z
// only) when every byte agrees after upper-casing a–z and a "*" follows. A name that runs
// off the end of the block, or an offset outside it, never matches.
bool nameMatches(std::span<const std::uint8_t> names, std::int32_t offset, const std::string& sought);

// The offset lies inside the names block and a "*" ends the name before the block ends.
bool nameIsTerminated(std::span<const std::uint8_t> names, std::int32_t offset);

// Deflate cannot expand data by more than 1032 : 1 (a 258-byte match coded in two bits); the
// most content that comprSize stored bytes of a zlib stream can inflate to, with room for
// the stream's header and first literals.
inline std::int64_t maxInflatedSize(std::int32_t comprSize)
{
    return std::int64_t{comprSize} * 1032 + 64;
}

// The stored name at offset, up to its "*" (or to the end of the block).
std::string storedName(std::span<const std::uint8_t> names, std::int32_t offset);

} // namespace archive::format
