#include "tests/archive/archive_fixture.h"

#include <cstdio>

#include <jpeglib.h>

using namespace testing_support;

namespace {

// A 24-bit bottom-up BMP; pixel (x, y) is red x*10, green y*10, blue 7.
std::string bmp(int width, int height)
{
    const int row = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(row * height), 0);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<std::uint32_t>(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < height && width < 1000; ++y) {
        for (int x = 0; x < width; ++x) {
            std::size_t at = 54 + static_cast<std::size_t>((height - 1 - y) * row + x * 3);
            b[at] = 7;
            b[at + 1] = static_cast<std::uint8_t>(y * 10);
            b[at + 2] = static_cast<std::uint8_t>(x * 10);
        }
    }
    return {b.begin(), b.end()};
}

enum class Inks { None, Plain, AdobeInverted, Ycck };

struct JpegSpec {
    int width = 16;
    int height = 8;
    Inks inks = Inks::None; // a CMYK picture of the same colour instead of RGB
    bool progressive = false;
    bool noisy = false; // a pattern instead of one colour, so the scan data is long
};

// A picture filled with the red 200, green 0, blue 0.
std::string jpeg(const JpegSpec& spec)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(spec.width);
    info.image_height = static_cast<JDIMENSION>(spec.height);
    const bool cmyk = spec.inks != Inks::None;
    info.input_components = cmyk ? 4 : 3;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (spec.inks == Inks::Ycck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    info.write_Adobe_marker = spec.inks == Inks::AdobeInverted || spec.inks == Inks::Ycck;
    jpeg_set_quality(&info, 95, TRUE);
    if (spec.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    // Red 200 is no cyan (55 left of 255), full magenta and yellow, no black.
    std::vector<std::uint8_t> pixel = {200, 0, 0};
    if (cmyk)
        pixel = {55, 255, 255, 0};
    if (spec.inks == Inks::AdobeInverted || spec.inks == Inks::Ycck)
        pixel = {200, 0, 0, 255};
    std::vector<std::uint8_t> row;
    for (int x = 0; x < spec.width; ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    while (info.next_scanline < info.image_height) {
        for (std::size_t i = 0; i < row.size() && spec.noisy; ++i)
            row[i] = static_cast<std::uint8_t>((i * 37) ^ (info.next_scanline * 91) ^ (i * i));
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string data(reinterpret_cast<char*>(out), size);
    std::free(out);
    return data;
}

std::string jpeg(int width, int height)
{
    return jpeg(JpegSpec{width, height});
}

// Sets the size that a JPEG's frame header claims.
std::string claimingSize(std::string data, int width, int height)
{
    std::size_t frame = data.find("\xFF\xC0");
    if (frame == std::string::npos)
        frame = data.find("\xFF\xC2");
    data[frame + 5] = static_cast<char>(height >> 8);
    data[frame + 6] = static_cast<char>(height);
    data[frame + 7] = static_cast<char>(width >> 8);
    data[frame + 8] = static_cast<char>(width);
    return data;
}

struct Loaders : ArchiveFixture {
    void SetUp() override
    {
        ArchiveFixture::SetUp();
        std::string big = jpeg(8, 8);
        big[big.find("\xFF\xC0") + 5] = '\x7F'; // height 0x7F08 > 8192
        std::string huge = bmp(65535, 1);
        ASSERT_EQ(
            open(archiveFile("pics.psk",
                             {member("P\\pic.bmp", bmp(3, 2)), member("P\\photo.jpg", jpeg(16, 8)),
                              member("P\\photo.jpeg", jpeg(16, 8)), member("P\\broken.jpg", "\xFF\xD8 not really"),
                              member("P\\cut.jpg", jpeg(16, 8).substr(0, 40)), member("P\\big.jpg", big),
                              member("P\\wide.bmp", huge.substr(0, 200)),
                              member("T\\lines.txt", "A\r\nB\nC\rD\r\n\r\n\xE8\x9E" + std::string(1, '\0') + "gone")})),
            0);
        port.shown.clear();
    }
    archive::Bitmap bitmap;
};

} // namespace

TEST_F(Loaders, a_bmp_member_decodes_into_argb_pixels)
{
    ASSERT_TRUE(psk.PSK_LoadPicture("p\\PIC.BMP", bitmap));
    EXPECT_EQ(bitmap.width, 3);
    EXPECT_EQ(bitmap.height, 2);
    EXPECT_EQ(bitmap.stride, 12u);
    EXPECT_EQ(bitmap.pixel(0, 0), 0xFF000007u);
    EXPECT_EQ(bitmap.pixel(2, 1), 0xFF140A07u);
}

TEST_F(Loaders, a_jpg_member_decodes_at_full_size)
{
    ASSERT_TRUE(psk.PSK_LoadPicture("p\\photo.JPG", bitmap));
    EXPECT_EQ(bitmap.width, 16);
    EXPECT_EQ(bitmap.height, 8);
    std::uint32_t p = bitmap.pixel(5, 5);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 200, 4);
    EXPECT_LE(static_cast<int>(p & 0xFF), 6);
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(Loaders, only_the_jpg_extension_chooses_the_jpeg_decoder)
{
    EXPECT_FALSE(psk.PSK_LoadPicture("P\\photo.jpeg", bitmap));
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_LoadBitmap: Chybná struktura souboru \"P\\photo.jpeg\""});
}

TEST_F(Loaders, damaged_or_oversized_pictures_are_invalid_and_leave_the_bitmap_alone)
{
    ASSERT_TRUE(psk.PSK_LoadBitmap("P\\pic.bmp", bitmap));
    for (const char* name : {"P\\broken.jpg", "P\\cut.jpg", "P\\big.jpg"})
        EXPECT_FALSE(psk.PSK_LoadJpgBitmap(name, bitmap)) << name;
    EXPECT_FALSE(psk.PSK_LoadBitmap("P\\wide.bmp", bitmap));
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"PSK_LoadJpgBitmap: Chybná struktura souboru \"P\\broken.jpg\"",
                                        "PSK_LoadJpgBitmap: Chybná struktura souboru \"P\\cut.jpg\"",
                                        "PSK_LoadJpgBitmap: Chybná struktura souboru \"P\\big.jpg\"",
                                        "PSK_LoadBitmap: Chybná struktura souboru \"P\\wide.bmp\""}));
    EXPECT_EQ(bitmap.width, 3);
}

TEST_F(Loaders, a_missing_picture_is_reported_by_the_lookup_only)
{
    EXPECT_FALSE(psk.PSK_LoadPicture("P\\none.jpg", bitmap));
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_GetFileLocation: Nemohu najít soubor: \"P\\NONE.JPG\""});
}

TEST_F(Loaders, text_splits_at_every_line_end_converts_from_cp1250_and_ends_at_a_zero_byte)
{
    std::vector<std::string> lines{"old"};
    ASSERT_TRUE(psk.PSK_LoadString("t\\lines.txt", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"A", "B", "C", "D", "", "čž"}));
}

TEST_F(Loaders, a_loose_text_file_loads_whole)
{
    writeFile(dir / "start/readme.TXT", "one\r\ntwo");
    std::vector<std::string> lines;
    ASSERT_TRUE(psk.PSK_LoadString("README.txt", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
}

namespace {

// Loads data stored as the only member of a fresh archive under name.
struct OnePicture : ArchiveFixture {
    archive::Bitmap bitmap;
    int archives = 0;

    bool load(const std::string& name, const std::string& data)
    {
        const std::string file = "p" + std::to_string(archives++) + ".psk";
        std::int32_t n = open(archiveFile(file, {member(name, data)}));
        EXPECT_GE(n, 0);
        bool loaded = psk.PSK_LoadPicture(name, bitmap);
        psk.PSK_CloseArchive(n);
        return loaded;
    }
};

std::string scrambledScan(std::string data)
{
    std::size_t scan = data.find("\xFF\xDA");
    for (std::size_t i = scan + 40; i < data.size() - 40; i += 3)
        data[i] = static_cast<char>((static_cast<unsigned char>(data[i]) * 7 + 1) & 0x7F);
    return data;
}

std::string withCompression(std::string data, std::uint8_t compression)
{
    data[30] = static_cast<char>(compression);
    return data;
}

} // namespace

TEST_F(OnePicture, cut_corrupt_or_empty_claiming_pictures_are_invalid_with_the_loaders_message)
{
    const std::string photo = jpeg(JpegSpec{64, 48, Inks::None, false, true});
    const std::string progressive = jpeg(JpegSpec{8, 8, Inks::None, true});
    const struct {
        const char* name;
        std::string data;
    } cases[] = {
        {"cut.jpg", photo.substr(0, photo.size() * 8 / 10)},
        {"scrambled.jpg", scrambledScan(photo)},
        {"cut.bmp", bmp(40, 40).substr(0, 1000)},
        {"rle.bmp", withCompression(bmp(40, 40), 1)},
        // A few hundred bytes cannot hold the data of 8192 x 8192 pixels.
        {"claims8192.jpg", claimingSize(progressive, 8192, 8192)},
        {"claims4000.jpg", claimingSize(jpeg(8, 8), 4000, 3000)},
    };
    for (const auto& c : cases) {
        port.shown.clear();
        EXPECT_FALSE(load(c.name, c.data)) << c.name;
        const std::string label = std::string(c.name).ends_with(".jpg") ? "PSK_LoadJpgBitmap" : "PSK_LoadBitmap";
        EXPECT_EQ(messages(), std::vector<std::string>{label + ": Chybná struktura souboru \"" + c.name + "\""});
    }
    EXPECT_TRUE(bitmap.empty());
}

TEST_F(OnePicture, whole_pictures_of_every_kind_still_load)
{
    EXPECT_TRUE(load("photo.jpg", jpeg(JpegSpec{64, 48, Inks::None, false, true})));
    EXPECT_TRUE(load("progressive.jpg", jpeg(JpegSpec{400, 300, Inks::None, true, true})));
    EXPECT_EQ(bitmap.width, 400);
    EXPECT_TRUE(load("whole.bmp", bmp(40, 40)));
    EXPECT_EQ(bitmap.height, 40);
    EXPECT_TRUE(port.shown.empty()) << lastMessage();
}

TEST_F(OnePicture, cmyk_pictures_plain_adobe_inverted_or_ycck_come_out_in_their_colour)
{
    for (Inks inks : {Inks::Plain, Inks::AdobeInverted, Inks::Ycck}) {
        ASSERT_TRUE(load("cmyk.jpg", jpeg(JpegSpec{16, 16, inks}))) << static_cast<int>(inks) << lastMessage();
        std::uint32_t p = bitmap.pixel(5, 5);
        EXPECT_EQ(p >> 24, 0xFFu);
        EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 200, 6) << static_cast<int>(inks);
        EXPECT_LE(static_cast<int>((p >> 8) & 0xFF), 6) << static_cast<int>(inks);
        EXPECT_LE(static_cast<int>(p & 0xFF), 6) << static_cast<int>(inks);
    }
}
