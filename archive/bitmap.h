#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace archive {

// A decoded picture as 32-bit pixels 0xAARRGGBB in native byte order (QImage's
// Format_ARGB32 / Format_RGB32), rows from the top, stride in bytes. The GUI wraps the
// buffer without copying.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::vector<std::uint32_t> pixels;

    bool empty() const { return width == 0 || height == 0; }
    std::uint32_t pixel(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * (stride / 4) + static_cast<std::size_t>(x)];
    }
};

// Pictures larger than this in either direction are refused before anything is allocated.
inline constexpr int kMaxPictureSide = 8192;

} // namespace archive
