#include "common/psmath.h"

#include <array>

namespace common {

namespace {

constexpr std::size_t kBlockSize = 65000;

constexpr std::array<std::uint32_t, 256> makeTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();
static_assert(kTable[1] == 0x77073096u && kTable[128] == 0xEDB88320u);

// The same table with the low byte inverted where bit 31 is set. With bit 31 set the index
// is (256 - L) XOR b for L != 0 and L XOR b for L == 0, which is the low byte of -crc in both
// cases; -x = ~x + 1, and the inversion comes ready from this table, so the chain from one
// byte's lookup to the next one's index is three plain operations.
constexpr std::array<std::uint32_t, 256> makeFoldedTable()
{
    std::array<std::uint32_t, 256> folded = kTable;
    for (std::uint32_t& t : folded) {
        if (t & 0x80000000u)
            t ^= 0xFFu;
    }
    return folded;
}

constexpr std::array<std::uint32_t, 256> kFolded = makeFoldedTable();

inline std::uint32_t firstIndex(std::uint32_t crc, std::uint8_t b)
{
    std::uint32_t negate = 0u - (crc >> 31);
    return (((crc ^ negate) - negate) ^ b) & 0xFFu;
}

} // namespace

std::uint32_t PSK_CRC32Update(std::uint32_t crc, std::span<const std::uint8_t> data)
{
    const std::size_t n = data.size();
    if (n == 0)
        return crc;
    const std::uint8_t* p = data.data();
    std::uint32_t index = firstIndex(crc, p[0]);
    for (std::size_t i = 1;; ++i) {
        std::uint32_t w = kFolded[index];
        std::uint32_t negative = w >> 31;
        std::uint32_t shifted = crc >> 8;
        crc = shifted ^ w ^ ((0u - negative) & 0xFFu);
        if (i == n)
            return crc;
        index = (((shifted ^ w) + negative) ^ p[i]) & 0xFFu;
    }
}

std::uint32_t PSK_CRC32(std::span<const std::uint8_t> data)
{
    return PSK_CRC32Update(0, data);
}

std::uint32_t PSK_CRC32(MemoryStream& stream)
{
    stream.seek(0);
    std::uint32_t crc = 0;
    while (stream.remaining() > 0) {
        auto block = stream.unread().first(std::min(kBlockSize, stream.remaining()));
        crc = PSK_CRC32Update(crc, block);
        stream.seek(stream.position() + block.size());
    }
    return crc;
}

} // namespace common
