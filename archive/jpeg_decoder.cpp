#include "archive/picture_decoders.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces are needed"
#endif

namespace archive {

namespace {

// libjpeg's own error handler ends the process; this one jumps back to the decoder.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// Releases the decompressor on every path, the jump back from an error included.
struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    bool created = false;
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// Everything between setjmp and a possible longjmp lives outside this frame or is trivial.
bool decode(Decompressor& d, std::span<const std::uint8_t> data, Bitmap& bitmap)
{
    if (setjmp(d.errors.jump) != 0)
        return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_mem_src(&d.info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d.info, TRUE);
    if (d.info.image_width > kMaxPictureSide || d.info.image_height > kMaxPictureSide)
        return false;
    d.info.dct_method = JDCT_ISLOW;
    d.info.scale_num = 1;
    d.info.scale_denom = 1;
    // BGRA bytes are 0xAARRGGBB words on this little-endian machine.
    d.info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d.info);
    const std::size_t width = d.info.output_width;
    const std::size_t height = d.info.output_height;
    bitmap.pixels.resize(width * height);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(bitmap.pixels.data() + width * d.info.output_scanline);
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    bitmap.width = static_cast<int>(width);
    bitmap.height = static_cast<int>(height);
    bitmap.stride = width * 4;
    return true;
}

} // namespace

bool decodeJpeg(std::span<const std::uint8_t> data, Bitmap& bitmap)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
    Decompressor d;
    d.info.err = jpeg_std_error(&d.errors.base);
    d.errors.base.error_exit = errorExit;
    d.errors.base.output_message = ignoreMessage;
    Bitmap decoded;
    if (!decode(d, data, decoded))
        return false;
    bitmap = std::move(decoded);
    return true;
}

} // namespace archive
