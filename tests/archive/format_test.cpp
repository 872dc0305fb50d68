#include "tests/archive/archive_fixture.h"

#include "archive/psk_format.h"

#include <functional>

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kDamaged = "\" má chybnou strukturu dat nebo je poškozen ";
const std::string kSum = "(Neočekávaná délka datové oblasti archívu) (FileTable: Sum(ComprSize))";
const std::string kReadError = "\" (při čtení dat došlo k chybě) ";

std::vector<tools::PskMember> threeMembers()
{
    return {member("A.TXT", "abc", 0), member("DARadid\\Produkty\\SEZNAM.TXT", std::string(3000, 'x')),
            member("B.BIN", "0123456789", 0)};
}

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    std::string messageStart; // the path follows
    std::string messageEnd;
};

std::size_t namesLengthAt()
{
    return tools::kHeaderSize + 3 * tools::kRecordSize + 1;
}

const std::vector<Damage>& damages()
{
    static const std::vector<Damage> list = {
        {"magic", [](Bytes& b) { b[2] = 'X'; }, "PSK_OpenArchive: Soubor \"", "\" není PSK archív"},
        {"empty_file", [](Bytes& b) { b.clear(); }, "PSK_OpenArchive: Soubor \"", "\" není PSK archív"},
        {"shorter_than_header", [](Bytes& b) { b.resize(100); }, "PSK_OpenArchive: Soubor \"", "\" není PSK archív"},
        {"format_version", [](Bytes& b) { putInt32(b, 101, 19999); }, "PSK_OpenArchive: Soubor \"",
         "\" má nepodporovanou verzi vnitřního formátu ( 19999)"},
        {"mark_200", [](Bytes& b) { b[129] = 199; }, "PSK_OpenArchive: Soubor \"",
         kDamaged + "(Nesouhlasi kontr. zn #200)"},
        {"negative_count", [](Bytes& b) { putInt32(b, 109, -3); }, "PSK_OpenArchive: Soubor \"",
         kDamaged + "(pocetsoub=-3)"},
        {"zero_count", [](Bytes& b) { putInt32(b, 109, 0); }, "PSK_OpenArchive: Archív \"",
         "\" neobsahuje žádné soubory (Filescount=0)"},
        {"count_beyond_file", [](Bytes& b) { putInt32(b, 109, INT32_MAX); },
         "PSK_OpenArchive: Není možné číst data ze souboru \"", kReadError},
        {"mark_202", [](Bytes& b) { b[namesLengthAt() - 1] = 0; }, "PSK_OpenArchive: Soubor \"",
         kDamaged + "(Nesouhlasi kontr. zn #202)"},
        {"negative_names_length", [](Bytes& b) { putInt32(b, namesLengthAt(), -6); }, "PSK_OpenArchive: Soubor \"",
         kDamaged + kSum},
        {"zero_names_length", [](Bytes& b) { putInt32(b, namesLengthAt(), 0); }, "PSK_OpenArchive: Soubor \"",
         kDamaged + kSum},
        {"names_beyond_file", [](Bytes& b) { putInt32(b, namesLengthAt(), 0x7FFFFFF0); },
         "PSK_OpenArchive: Není možné číst data ze souboru \"", kReadError},
        {"file_number", [](Bytes& b) { putInt32(b, tools::recordField(2, tools::kFieldFileNumber), 4); },
         "PSK_OpenArchive: Soubor \"", kDamaged + "(FileTable: FileNumber)"},
        // The numbers are checked before the lengths add up, whatever the names block holds.
        {"file_number_with_zero_names_length",
         [](Bytes& b) {
             putInt32(b, tools::recordField(2, tools::kFieldFileNumber), 4);
             putInt32(b, namesLengthAt(), 0);
         },
         "PSK_OpenArchive: Soubor \"", kDamaged + "(FileTable: FileNumber)"},
        {"file_number_with_negative_names_length",
         [](Bytes& b) {
             putInt32(b, tools::recordField(0, tools::kFieldFileNumber), 0);
             putInt32(b, namesLengthAt(), -1);
         },
         "PSK_OpenArchive: Soubor \"", kDamaged + "(FileTable: FileNumber)"},
        {"byte_appended", [](Bytes& b) { b.push_back(0); }, "PSK_OpenArchive: Soubor \"", kDamaged + kSum},
        {"closing_byte_missing", [](Bytes& b) { b.pop_back(); }, "PSK_OpenArchive: Soubor \"", kDamaged + kSum},
        // Sizes that add up only thanks to a negative value or int32 wrap-around.
        {"negative_compr_size_balanced",
         [](Bytes& b) {
             putInt32(b, tools::recordField(0, tools::kFieldComprSize), -97);
             putInt32(b, tools::recordField(2, tools::kFieldComprSize), 10 + 100);
         },
         "PSK_OpenArchive: Soubor \"", kDamaged + kSum},
        {"compr_sizes_wrapping_int32",
         [](Bytes& b) {
             for (std::size_t r = 0; r < 3; ++r) {
                 std::size_t at = tools::recordField(r, tools::kFieldComprSize);
                 std::int32_t add = r < 2 ? 0x60000000 : 0x40000000;
                 putInt32(b, at, archive::format::readInt32(b.data() + at) + add);
             }
         },
         "PSK_OpenArchive: Soubor \"", kDamaged + kSum},
    };
    return list;
}

struct DamagedArchive : ArchiveFixture, ::testing::WithParamInterface<std::tuple<std::size_t, int>> {};

} // namespace

TEST_F(ArchiveFixture, one_stored_member_of_abc_makes_a_201_byte_archive_that_opens_in_both_modes)
{
    Bytes bytes = tools::buildPsk({member("A.TXT", "abc", 0)}, 0);
    ASSERT_EQ(bytes.size(), 201u);
    EXPECT_EQ((Bytes{bytes.begin() + 150, bytes.begin() + 154}), (Bytes{0xE7, 0x26, 0x6E, 0x7E}));
    writeBytes(dir / "a.psk", bytes);
    for (int mode : {0, 1}) {
        std::int32_t n = open(dir / "a.psk", mode);
        ASSERT_EQ(n, 0);
        common::MemoryStream* stream = nullptr;
        EXPECT_EQ(psk.PSK_GetFileStream("a.txt", stream), 1);
        EXPECT_EQ(textOf(*stream), "abc");
        EXPECT_TRUE(psk.PSK_CloseArchive(n));
    }
    EXPECT_TRUE(port.shown.empty());
}

TEST_P(DamagedArchive, is_refused_with_its_message_and_leaves_no_trace_but_the_path)
{
    const Damage& damage = damages()[std::get<0>(GetParam())];
    const int mode = std::get<1>(GetParam());
    Bytes bytes = tools::buildPsk(threeMembers(), 3);
    damage.apply(bytes);
    const std::string path = dir / "damaged.psk";
    writeBytes(path, bytes);
    std::int32_t n = 5;
    EXPECT_FALSE(psk.PSK_OpenArchive(n, path, mode));
    EXPECT_EQ(n, -1);
    EXPECT_EQ(messages(), std::vector<std::string>{damage.messageStart + path + damage.messageEnd}) << damage.name;
    EXPECT_EQ(psk.PSK_AllocatedBytes(), 0);
    EXPECT_EQ(psk.PSK_OpenCount(), 0);
    EXPECT_FALSE(psk.slot(0).open);
    EXPECT_EQ(psk.slot(0).path, path);
    EXPECT_FALSE(psk.slot(0).file.isOpen());
    EXPECT_EQ(psk.PSK_Deinit(), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryRule, DamagedArchive,
                         ::testing::Combine(::testing::Range<std::size_t>(0, damages().size()),
                                            ::testing::Values(0, 1)),
                         [](const auto& param) {
                             return std::string(damages()[std::get<0>(param.param)].name) + "_mode" +
                                 std::to_string(std::get<1>(param.param));
                         });

namespace {

const std::string kInternal = "Došlo k vnitřní chybě programu číslo ";

struct MemberDamage {
    const char* name;
    std::function<void(Bytes&, const tools::PskLayout&)> apply;
    std::string mode0;
    std::string mode1;
};

std::string internal(int number, const std::string& text)
{
    return kInternal + std::to_string(number) + ".  Chyba: \"" + text + "\"";
}

const std::vector<MemberDamage>& memberDamages()
{
    static const std::string head0 = internal(75, "PSK_GetFileStream: Chybná data archívu (OpenMode=0,(1))");
    static const std::string head1 = internal(73, "PSK_GetFileStream: Chybná data archívu (OpenMode=1,(1))");
    static const std::string tail0 = internal(76, "PSK_GetFileStream: Chybná data archívu (OpenMode=0,(2))");
    static const std::string tail1 = internal(77, "PSK_GetFileStream: Chybná data archívu (OpenMode=1,(2))");
    static const std::string readFailure = "PSK_GetFileStream: Nepodařilo se přečíst data z archívu: \"";
    static const std::string length =
        "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen)";
    static const std::vector<MemberDamage> list = {
        {"leading_mark", [](Bytes& b, const tools::PskLayout& l) { b[l.blockStarts[2]] ^= 1; }, head0, head1},
        {"block_file_number", [](Bytes& b, const tools::PskLayout& l) { b[l.blockStarts[2] + 1] = 9; }, head0, head1},
        {"trailing_mark", [](Bytes& b, const tools::PskLayout& l) { b[l.blockStarts[2] + 15] = 0; }, tail0, tail1},
        {"negative_data_offset",
         [](Bytes& b, const tools::PskLayout&) { putInt32(b, tools::recordField(2, tools::kFieldDataOffset), -5); },
         head0, head1},
        // A block past the end of the data area cannot be read, in memory as in the file.
        {"data_offset_beyond_area",
         [](Bytes& b, const tools::PskLayout&) {
             putInt32(b, tools::recordField(2, tools::kFieldDataOffset), 0x7FFFFFF0);
         },
         readFailure, readFailure},
        {"head_across_the_end_of_the_area",
         [](Bytes& b, const tools::PskLayout& l) {
             putInt32(b, tools::recordField(2, tools::kFieldDataOffset),
                      static_cast<std::int32_t>(l.blockStarts[2] + 13 - l.dataStart));
         },
         readFailure, readFailure},
        // The block seems to start at the last member's check mark, so its data would run
        // over the end of the data area into the closing bytes.
        {"block_running_past_the_area",
         [](Bytes& b, const tools::PskLayout& l) {
             std::size_t at = l.blockStarts[2] + 15 - 4;
             b[at] = 203;
             putInt32(b, at + 1, 3);
             putInt32(b, tools::recordField(2, tools::kFieldDataOffset), static_cast<std::int32_t>(at - l.dataStart));
         },
         readFailure, readFailure},
        {"size_too_large",
         [](Bytes& b, const tools::PskLayout&) { putInt32(b, tools::recordField(2, tools::kFieldSize), 11); }, length,
         length},
        {"negative_size",
         [](Bytes& b, const tools::PskLayout&) { putInt32(b, tools::recordField(2, tools::kFieldSize), -1); }, length,
         length},
        {"checksum", [](Bytes& b, const tools::PskLayout&) { putInt32(b, tools::recordField(2, tools::kFieldCrc), 1); },
         length + " (CRC Error)", length + " (CRC Error)"},
        {"unknown_method_with_content",
         [](Bytes& b, const tools::PskLayout&) { putInt32(b, tools::recordField(2, tools::kFieldMethod), 7); }, length,
         length},
    };
    return list;
}

struct DamagedMember : ArchiveFixture, ::testing::WithParamInterface<std::tuple<std::size_t, int>> {};

} // namespace

TEST_P(DamagedMember, fails_its_extraction_with_its_message_and_the_archive_stays_usable)
{
    const MemberDamage& damage = memberDamages()[std::get<0>(GetParam())];
    const int mode = std::get<1>(GetParam());
    tools::PskLayout layout;
    Bytes bytes = tools::buildPsk(threeMembers(), 0, &layout);
    damage.apply(bytes, layout);
    writeBytes(dir / "m.psk", bytes);
    ASSERT_EQ(open(dir / "m.psk", mode), 0);
    EXPECT_EQ(psk.PSK_GetFileStream("B.BIN"), -1);
    ASSERT_EQ(port.shown.size(), 1u) << damage.name;
    const std::string& expected = mode == 0 ? damage.mode0 : damage.mode1;
    EXPECT_TRUE(lastMessage().starts_with(expected)) << lastMessage();
    if (expected.ends_with(": \"")) { // the archive's path completes it
        EXPECT_EQ(lastMessage(), expected + dir / "m.psk" + "\"");
    }
    EXPECT_EQ(psk.PSK_GetFileStream("A.TXT"), 1);
    EXPECT_EQ(textOf(psk.FileData()), "abc");
}

INSTANTIATE_TEST_SUITE_P(EveryRule, DamagedMember,
                         ::testing::Combine(::testing::Range<std::size_t>(0, memberDamages().size()),
                                            ::testing::Values(0, 1)),
                         [](const auto& param) {
                             return std::string(memberDamages()[std::get<0>(param.param)].name) + "_mode" +
                                 std::to_string(std::get<1>(param.param));
                         });

TEST_F(ArchiveFixture, unknown_method_and_empty_stored_members_are_accepted_when_size_and_checksum_are_zero)
{
    tools::PskLayout layout;
    Bytes bytes = tools::buildPsk({member("X", "abc", 7), member("E", "", 0)}, 0, &layout);
    putInt32(bytes, tools::recordField(0, tools::kFieldSize), 0);
    putInt32(bytes, tools::recordField(0, tools::kFieldCrc), 0);
    writeBytes(dir / "x.psk", bytes);
    ASSERT_EQ(open(dir / "x.psk", 1), 0);
    EXPECT_EQ(psk.PSK_GetFileStream("x"), 1);
    EXPECT_EQ(psk.FileData().size(), 0u);
    EXPECT_EQ(psk.PSK_GetFileStream("e"), 1);
    EXPECT_EQ(psk.FileData().size(), 0u);
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(ArchiveFixture, every_single_bit_flip_in_deflate_data_fails_with_one_of_the_three_messages)
{
    std::string content;
    for (int i = 0; i < 300; ++i)
        content += "line " + std::to_string(i * 7919 % 1000) + "\n";
    tools::PskLayout layout;
    Bytes clean = tools::buildPsk({member("T", content)}, 0, &layout);
    const std::size_t comprSize = static_cast<std::size_t>(
        archive::format::readInt32(clean.data() + tools::recordField(0, tools::kFieldComprSize)));
    const std::vector<std::string> allowed = {
        "PSK_Copress: Při Dekomprimaci dat došlo k chybě (chyba Dekompr. algoritmu nebo nedostatek paměti) "
        "(Decompresion error)",
        "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen)",
        "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen) (CRC Error)"};
    for (std::size_t i = 0; i < comprSize; i += 7) {
        Bytes bytes = clean;
        bytes[layout.blockStarts[0] + 5 + i] ^= static_cast<std::uint8_t>(1u << (i % 8));
        writeBytes(dir / "t.psk", bytes);
        ASSERT_EQ(open(dir / "t.psk", static_cast<int>(i % 2)), 0);
        port.shown.clear();
        EXPECT_EQ(psk.PSK_GetFileStream("T"), -1) << i;
        ASSERT_EQ(port.shown.size(), 1u);
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), lastMessage()), allowed.end()) << lastMessage();
        psk.PSK_CloseArchive(0);
    }
}

TEST_F(ArchiveFixture, inflating_stops_at_the_claimed_size_instead_of_filling_memory)
{
    Bytes bytes = tools::buildPsk({member("Z", std::string(8 << 20, '\0'))}, 0);
    putInt32(bytes, tools::recordField(0, tools::kFieldSize), 1000);
    writeBytes(dir / "z.psk", bytes);
    ASSERT_EQ(open(dir / "z.psk"), 0);
    EXPECT_EQ(psk.PSK_GetFileStream("Z"), -1);
    EXPECT_EQ(lastMessage(), "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen)");
    EXPECT_LE(psk.FileData().size(), 1000u + 4096u);
}

TEST_F(ArchiveFixture, names_match_by_upper_casing_only_a_to_z_and_need_the_closing_star)
{
    std::string path = archiveFile(
        "n.psk",
        {member("DARadid\\Produkty\\SEZNAM.TX", "short"), member("DARadid\\Produkty\\SEZNAM.TXX", "longer"),
         member("DARadid\\Produkty\\SEZNAM.TXT", "right"), member("žluťoučký.txt", "kůň"), member("", "empty name")});
    ASSERT_EQ(open(path), 0);
    EXPECT_EQ(psk.PSK_GetFileStream("daradid\\produkty\\seznam.txt"), 1);
    EXPECT_EQ(textOf(psk.FileData()), "right");
    EXPECT_EQ(psk.PSK_FindFile("DARadid/Produkty/SEZNAM.TXT"), -1);
    EXPECT_EQ(psk.PSK_GetFileStream("ŽLUŤOUČKÝ.TXT"), -1);
    EXPECT_EQ(psk.PSK_GetFileStream("žluťoučký.TXT"), 1);
    EXPECT_EQ(textOf(psk.FileData()), "kůň");
    EXPECT_EQ(psk.PSK_GetFileStream(""), 1);
    EXPECT_EQ(textOf(psk.FileData()), "empty name");
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_GetFileLocation: Nemohu najít soubor: \"ŽLUŤOUČKÝ.TXT\""});
}

TEST_F(ArchiveFixture, a_name_offset_outside_the_names_block_or_a_name_without_its_star_never_matches)
{
    tools::PskLayout layout;
    Bytes bytes = tools::buildPsk({member("AB", "1"), member("CD", "2")}, 0, &layout);
    putInt32(bytes, tools::recordField(0, tools::kFieldNameOffset), 1 << 30);
    bytes[layout.dataStart - 1] = 'X'; // "CD*" becomes "CDX" at the end of the block
    writeBytes(dir / "o.psk", bytes);
    ASSERT_EQ(open(dir / "o.psk"), 0);
    EXPECT_EQ(psk.PSK_FindFile("AB"), -1);
    EXPECT_EQ(psk.PSK_FindFile("CD"), -1);
    EXPECT_EQ(psk.PSK_FindFile("CDX"), -1);
}
