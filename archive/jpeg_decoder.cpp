#include "archive/picture_decoders.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

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

// A warning is libjpeg's word for a stream that ended early or holds corrupt data, which it
// would paper over with grey rows; such a picture is invalid.
void refuseWarnings(j_common_ptr info, int level)
{
    if (level < 0)
        errorExit(info);
}

void ignoreMessage(j_common_ptr) {}

// Huffman coding needs at least one bit per 8 × 8 block, so no picture of real data holds
// more than 512 pixels per byte of its file; twice that is allowed. A header that claims
// more describes a picture whose data cannot be there, and decoding it would only cost
// memory and time.
constexpr std::uint64_t kMaxPixelsPerByte = 1024;

// libjpeg's working memory (the coefficient buffers of a progressive picture) is capped at
// what the bitmap of the largest allowed picture takes.
constexpr long kMaxWorkingMemory = long{kMaxPictureSide} * kMaxPictureSide * 4;

// Adobe's CMYK pictures store the inks inverted (255 means no ink); others store them plain.
std::uint32_t cmykToArgb(const JSAMPLE* p, bool inverted)
{
    std::uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    // With the inks inverted, each channel is (1 - ink) * (1 - black).
    return 0xFF000000u | (c * k / 255) << 16 | (m * k / 255) << 8 | (y * k / 255);
}

// Releases the decompressor on every path, the jump back from an error included.
struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    std::vector<JSAMPLE> inks; // one row of a CMYK picture
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
    d.info.mem->max_memory_to_use = kMaxWorkingMemory;
    jpeg_read_header(&d.info, TRUE);
    if (d.info.image_width > kMaxPictureSide || d.info.image_height > kMaxPictureSide)
        return false;
    if (std::uint64_t{d.info.image_width} * d.info.image_height > data.size() * kMaxPixelsPerByte)
        return false;
    d.info.dct_method = JDCT_ISLOW;
    d.info.scale_num = 1;
    d.info.scale_denom = 1;
    // libjpeg turns YCCK into CMYK but neither into RGB; that step is done here per row.
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    // BGRA bytes are 0xAARRGGBB words on this little-endian machine.
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&d.info);
    const std::size_t width = d.info.output_width;
    const std::size_t height = d.info.output_height;
    bitmap.pixels.resize(width * height);
    d.inks.resize(cmyk ? width * 4 : 0);
    while (d.info.output_scanline < d.info.output_height) {
        std::uint32_t* out = bitmap.pixels.data() + width * d.info.output_scanline;
        JSAMPROW row = cmyk ? d.inks.data() : reinterpret_cast<JSAMPROW>(out);
        jpeg_read_scanlines(&d.info, &row, 1);
        for (std::size_t x = 0; x < width && cmyk; ++x)
            out[x] = cmykToArgb(d.inks.data() + 4 * x, d.info.saw_Adobe_marker);
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
    d.errors.base.emit_message = refuseWarnings;
    d.errors.base.output_message = ignoreMessage;
    Bitmap decoded;
    if (!decode(d, data, decoded))
        return false;
    bitmap = std::move(decoded);
    return true;
}

} // namespace archive
