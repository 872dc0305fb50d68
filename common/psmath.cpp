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

// With bit 31 set the index is (256 - L) XOR b for L != 0 and L XOR b for L == 0; the low
// byte of the negated value is exactly that in both cases, so no test of L is needed.
inline std::uint32_t step(std::uint32_t crc, std::uint8_t b)
{
    std::uint32_t negate = 0u - (crc >> 31);
    std::uint32_t low = (crc ^ negate) - negate;
    return (crc >> 8) ^ kTable[(low ^ b) & 0xFFu];
}

} // namespace

std::uint32_t PSK_CRC32Update(std::uint32_t crc, std::span<const std::uint8_t> data)
{
    const std::uint8_t* p = data.data();
    const std::uint8_t* end = p + data.size();
    while (end - p >= 4) {
        crc = step(crc, p[0]);
        crc = step(crc, p[1]);
        crc = step(crc, p[2]);
        crc = step(crc, p[3]);
        p += 4;
    }
    while (p != end)
        crc = step(crc, *p++);
    return crc;
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
