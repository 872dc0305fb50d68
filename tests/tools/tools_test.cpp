#include "child_process.h"
#include "tests/support/temp_dir.h"
#include "tools/psk_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace testing_support;

namespace {

ProcessResult run(std::vector<std::string> argv)
{
    return runProcess(argv, std::chrono::seconds(60));
}

std::string archive(const TempDir& dir, const std::vector<tools::PskMember>& members)
{
    std::string path = dir / "a.psk";
    auto bytes = tools::buildPsk(members, 0);
    writeFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

// A 24-bit BMP of 2 x 3 pixels, cut to cutTo bytes when given.
std::vector<std::uint8_t> bmp(std::size_t cutTo = 0)
{
    std::vector<std::uint8_t> b(54 + 8 * 3, 0);
    b[0] = 'B';
    b[1] = 'M';
    b[10] = 54;
    b[14] = 40;
    b[18] = 2;
    b[22] = 3;
    b[26] = 1;
    b[28] = 24;
    if (cutTo != 0)
        b.resize(cutTo);
    return b;
}

} // namespace

TEST(psktool, picture_prints_the_size_of_a_good_picture_and_the_loaders_message_for_a_bad_one)
{
    TempDir dir;
    std::string path = archive(dir, {{"P\\good.bmp", bmp(), 1}, {"P\\cut.bmp", bmp(60), 0}});
    for (const char* mode : {"0", "1"}) {
        ProcessResult good = run({PSKTOOL_PATH, "picture", "--mode", mode, path, "p\\GOOD.bmp"});
        EXPECT_EQ(good.exitCode, 0) << good.describe();
        EXPECT_EQ(good.out, "2x3\n");
    }
    ProcessResult cut = run({PSKTOOL_PATH, "picture", path, "P\\cut.bmp"});
    EXPECT_EQ(cut.exitCode, 1) << cut.describe();
    EXPECT_EQ(cut.err, "PSK_LoadBitmap: Chybná struktura souboru \"P\\cut.bmp\"\n");
    ProcessResult missing = run({PSKTOOL_PATH, "picture", path, "none.bmp"});
    EXPECT_EQ(missing.exitCode, 1);
}

TEST(psktool, crc_streams_a_file_and_reports_what_is_no_file)
{
    TempDir dir;
    writeFile(dir / "abc", "abc");
    // Larger than one read piece, so the pieces must chain.
    writeFileOfSize(dir / "big", (3 << 20) + 5);
    ProcessResult abc = run({PSKTOOL_PATH, "crc", dir / "abc"});
    EXPECT_EQ(abc.out, "7E6E26E7\n") << abc.describe();
    ProcessResult big = run({PSKTOOL_PATH, "crc", dir / "big"});
    EXPECT_EQ(big.exitCode, 0);
    tools::PskMember whole{"BIG", {}, 0};
    std::string content = readFile(dir / "big");
    whole.content.assign(content.begin(), content.end());
    // The writer's checksum of the same bytes, read back from its table record.
    auto bytes = tools::buildPsk({whole}, 0);
    char expected[9];
    std::snprintf(expected, sizeof expected, "%02X%02X%02X%02X", bytes[tools::recordField(0, tools::kFieldCrc) + 3],
                  bytes[tools::recordField(0, tools::kFieldCrc) + 2],
                  bytes[tools::recordField(0, tools::kFieldCrc) + 1], bytes[tools::recordField(0, tools::kFieldCrc)]);
    EXPECT_EQ(big.out, std::string(expected) + "\n");
    for (const std::string& bad : {dir.path(), dir / "absent"}) {
        ProcessResult r = run({PSKTOOL_PATH, "crc", bad});
        EXPECT_EQ(r.exitCode, 1) << bad;
        EXPECT_TRUE(r.err.starts_with("psktool: " + bad + ": ")) << r.err;
        EXPECT_EQ(r.termSignal, 0);
    }
}

TEST(psktool, check_fails_an_archive_whose_member_name_has_no_end)
{
    TempDir dir;
    tools::PskLayout layout;
    auto bytes = tools::buildPsk({{"A", {'1'}, 0}, {"B", {'2'}, 0}}, 0, &layout);
    bytes[layout.dataStart - 1] = 'X'; // "B*" becomes "BX" at the end of the names block
    writeFile(dir / "n.psk", std::string(bytes.begin(), bytes.end()));
    ProcessResult r = run({PSKTOOL_PATH, "check", dir / "n.psk"});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(r.err, "PSK_GetFileStream: Chybná data archívu (FileTable: NameOffset)\n");
}

TEST(mkpsk, refuses_a_member_name_with_a_star_and_writes_nothing)
{
    TempDir dir;
    writeFile(dir / "x.txt", "x");
    ProcessResult r = run({MKPSK_PATH, "-o", dir / "out.psk", "A*B.TXT=" + dir / "x.txt"});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_NE(r.err.find("A*B.TXT"), std::string::npos) << r.err;
    struct stat st {};
    EXPECT_NE(::stat((dir / "out.psk").c_str(), &st), 0);
}

TEST(mkpsk, refuses_members_it_cannot_store_faithfully_and_writes_nothing)
{
    TempDir dir;
    writeFile(dir / "x.txt", "x");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::string member;
        std::string message;
    };
    const Case cases[] = {
        {"A.TXT=" + dir.path(), "mkpsk: not a regular file: " + dir.path()},
        {"A.TXT=" + dir / "fifo", "mkpsk: not a regular file: " + dir / "fifo"}, // would wait for a writer
        {"A.TXT=/dev/zero", "mkpsk: not a regular file: /dev/zero"},             // would never end
        {"A.TXT=" + dir / "missing", "mkpsk: cannot read " + dir / "missing" + ": No such file or directory"},
        {"\u65e5\u672c.TXT=" + dir / "x.txt",
         "mkpsk: the member name cannot be written in Windows-1250: \u65e5\u672c.TXT"},
        {"=" + dir / "x.txt", "mkpsk: a member needs a name: =" + dir / "x.txt"},
    };
    for (const Case& c : cases) {
        ProcessResult r = run({MKPSK_PATH, "-o", dir / "out.psk", c.member});
        EXPECT_EQ(r.exitCode, 1) << c.member << ": " << r.describe();
        EXPECT_EQ(r.err, c.message + "\n") << c.member;
        struct stat st {};
        EXPECT_NE(::stat((dir / "out.psk").c_str(), &st), 0) << c.member;
    }
    // Czech names are what the code page is for.
    ProcessResult r = run({MKPSK_PATH, "-o", dir / "out.psk", "Žluťoučký kůň.TXT=" + dir / "x.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
}

TEST(mkpsk, refuses_a_member_over_the_formats_size_limit_before_reading_it)
{
    TempDir dir;
    std::string big = dir / "big.bin";
    writeFile(big, "");
    ASSERT_EQ(::truncate(big.c_str(), 0x80000000LL), 0); // sparse: 2 GiB that take no room
    ProcessResult r = run({MKPSK_PATH, "-o", dir / "out.psk", "BIG.BIN=" + big});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(r.err, "mkpsk: larger than a member may be (2147483647 bytes): " + big + "\n");
}
