#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes archives in the maker's format. The program itself never writes archives; tests
// build their fixtures with this, and mkpsk packs sample archives.
namespace tools {

struct PskMember {
    std::string name; // UTF-8, parts separated by "\"; stored as Windows-1250
    std::vector<std::uint8_t> content;
    std::int32_t method = 1; // 0 stored, 1 zlib; any other value stores the content as it is
};

struct PskLayout {
    std::size_t tableStart = 0;           // first byte of the file table
    std::size_t namesStart = 0;           // first byte of the names block
    std::size_t dataStart = 0;            // first byte of the data area
    std::vector<std::size_t> blockStarts; // file offset of each member's block
};

// The complete archive; layout, when given, receives where its parts lie. A name holding
// "*" throws std::invalid_argument.
std::vector<std::uint8_t> buildPsk(const std::vector<PskMember>& members, std::int32_t dataVersion,
                                   PskLayout* layout = nullptr);
bool writePsk(const std::string& path, const std::vector<PskMember>& members, std::int32_t dataVersion);

// Offsets of one table record's fields, for tests that damage an archive on purpose.
inline constexpr std::size_t kHeaderSize = 130;
inline constexpr std::size_t kRecordSize = 36;
inline std::size_t recordField(std::size_t record, std::size_t fieldIndex)
{
    return kHeaderSize + record * kRecordSize + fieldIndex * 4;
}
enum RecordField : std::size_t {
    kFieldFileNumber = 0,
    kFieldSize,
    kFieldComprSize,
    kFieldDataOffset,
    kFieldNameOffset,
    kFieldCrc,
    kFieldMethod
};

} // namespace tools
