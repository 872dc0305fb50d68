#pragma once
#include "archive/bitmap.h"

#include <cstdint>
#include <span>

namespace archive {

// Both decoders refuse pictures over kMaxPictureSide before allocating, and report a
// damaged stream as false; neither ever ends the process.
bool decodeBmp(std::span<const std::uint8_t> data, Bitmap& bitmap);
// Full size, with the decoder's accurate integer IDCT.
bool decodeJpeg(std::span<const std::uint8_t> data, Bitmap& bitmap);

} // namespace archive
