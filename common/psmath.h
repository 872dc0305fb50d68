#pragma once
#include "common/memory_stream.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace common {

// The member checksum of the maker's archives. It starts at 0, has no final inversion, and
// while bit 31 of the running value is set it indexes the table with the negated low byte:
// stored archives depend on exactly this, so it is no standard CRC-32.
std::uint32_t PSK_CRC32Update(std::uint32_t crc, std::span<const std::uint8_t> data);
std::uint32_t PSK_CRC32(std::span<const std::uint8_t> data);
// Rewinds the stream, reads it to its end in blocks, and leaves it positioned at its end.
std::uint32_t PSK_CRC32(MemoryStream& stream);

} // namespace common
