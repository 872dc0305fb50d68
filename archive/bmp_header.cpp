#include "archive/bmp_header.h"

#include "archive/bitmap.h"

#include <algorithm>
#include <cstdlib>

namespace archive {

namespace {

std::uint32_t le(std::span<const std::uint8_t> data, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | data[at + static_cast<std::size_t>(i)];
    return v;
}

} // namespace

bool holdsEveryRow(std::span<const std::uint8_t> data)
{
    constexpr std::size_t kFileHeader = 14;
    if (data.size() < kFileHeader + 16)
        return true; // too short to be anything; the decoder refuses it
    const std::uint32_t infoSize = le(data, 14, 4);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    if (infoSize == 12) {
        width = le(data, 18, 2);
        height = le(data, 20, 2);
        bits = le(data, 24, 2);
    } else if (data.size() >= kFileHeader + 20) {
        width = static_cast<std::int32_t>(le(data, 18, 4));
        height = static_cast<std::int32_t>(le(data, 22, 4));
        bits = le(data, 28, 2);
        compression = le(data, 30, 4);
    }
    constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields)
        return true;
    if (std::abs(width) > kMaxPictureSide || std::abs(height) > kMaxPictureSide)
        return false;
    const std::int64_t start = std::max<std::int64_t>(le(data, 10, 4), kFileHeader + infoSize);
    const std::int64_t rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    return static_cast<std::int64_t>(data.size()) >= start + rowBytes * std::abs(height);
}

} // namespace archive
