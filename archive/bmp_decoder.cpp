#include "archive/bmp_header.h"
#include "archive/picture_decoders.h"

#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_MAX_DIMENSIONS 8192
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <memory>

static_assert(STBI_MAX_DIMENSIONS == archive::kMaxPictureSide);

namespace archive {

bool decodeBmp(std::span<const std::uint8_t> data, Bitmap& bitmap)
{
    if (data.size() > static_cast<std::size_t>(INT32_MAX) || !holdsEveryRow(data))
        return false;
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> rgba(
        stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &width, &height, &channels, 4),
        &stbi_image_free);
    if (!rgba || width <= 0 || height <= 0)
        return false;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    bitmap.pixels.resize(count);
    const stbi_uc* p = rgba.get();
    for (std::size_t i = 0; i < count; ++i, p += 4)
        bitmap.pixels[i] = std::uint32_t{p[3]} << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    bitmap.width = width;
    bitmap.height = height;
    bitmap.stride = static_cast<std::size_t>(width) * 4;
    return true;
}

} // namespace archive
