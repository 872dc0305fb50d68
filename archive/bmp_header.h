#pragma once
#include <cstdint>
#include <span>

namespace archive {

// stb_image reads past the end of a cut BMP as zeros and calls the picture good: an
// uncompressed picture must hold every row its header promises. Compressed kinds (RLE) are
// left to the decoder, which refuses what it cannot read. Dimensions over the allowed
// picture size fail here too.
bool holdsEveryRow(std::span<const std::uint8_t> data);

} // namespace archive
