#include "tests/archive/archive_fixture.h"

using namespace testing_support;

TEST_F(ArchiveFixture, sixteen_archives_open_and_a_seventeenth_is_refused)
{
    for (int i = 0; i < 17; ++i)
        archiveFile("a" + std::to_string(i) + ".psk", {member("M" + std::to_string(i), "x")});
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(open(dir / ("a" + std::to_string(i) + ".psk"), i % 2), i);
    EXPECT_EQ(open(dir / "a16.psk"), -1);
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_OpenArchive: Již je otevřeno příliš mnoho archívů ( 16 )"});
    EXPECT_EQ(psk.PSK_Deinit(), 16);
    EXPECT_EQ(psk.PSK_AllocatedBytes(), 0);
}

TEST_F(ArchiveFixture, a_freed_slot_is_taken_again_and_the_same_path_string_only_once)
{
    std::string a = archiveFile("a.psk", {member("A", "1")});
    std::string b = archiveFile("b.psk", {member("B", "2")});
    EXPECT_EQ(open(a), 0);
    EXPECT_EQ(open(a), -1);
    EXPECT_EQ(lastMessage(), "PSK_OpenArchive: Zadaný archív je již otevřen");
    EXPECT_EQ(open(dir.path() + "/./a.psk"), 1); // the same file under another spelling
    EXPECT_EQ(open(b), 2);
    EXPECT_TRUE(psk.PSK_CloseArchive(0));
    EXPECT_EQ(psk.slot(0).path, a);
    EXPECT_EQ(open(b), -1);
    EXPECT_EQ(open(a, 1), 0);
}

TEST_F(ArchiveFixture, closing_checks_the_number_and_the_slot)
{
    EXPECT_FALSE(psk.PSK_CloseArchive(17));
    EXPECT_FALSE(psk.PSK_CloseArchive(-1));
    EXPECT_FALSE(psk.PSK_CloseArchive(3));
    EXPECT_EQ(messages(),
              (std::vector<std::string>{
                  "PSK_CloseArchive: parametr ARCHNUMBER není platné označení archívu ( archnumber = 17 )",
                  "PSK_CloseArchive: parametr ARCHNUMBER není platné označení archívu ( archnumber = -1 )",
                  "PSK_CloseArchive: Zadaný archív není otevřen"}));
    EXPECT_EQ(port.beeps, 3);
    EXPECT_EQ(psk.PSK_GetArchiveDataVersion(4), 0);
    EXPECT_EQ(lastMessage(), "PSK_GetArchiveDataVersion: Zadaný archív není otevřen");
    EXPECT_EQ(port.beeps, 3); // a plain error report
}

TEST_F(ArchiveFixture, the_lowest_slot_wins_whatever_the_order_of_opening)
{
    std::string a = archiveFile("a.psk", {member("SAME", "from a")}, 4);
    std::string b = archiveFile("b.psk", {member("OTHER", "b")});
    std::string c = archiveFile("c.psk", {member("SAME", "from c")});
    ASSERT_EQ(open(c), 0);
    ASSERT_EQ(open(b), 1);
    ASSERT_EQ(open(a, 1), 2);
    EXPECT_EQ(psk.PSK_FindFile("same"), 0);
    psk.PSK_CloseArchive(0);
    archive::psk_File location;
    EXPECT_EQ(psk.PSK_GetFileLocation(location, "same"), 2);
    EXPECT_EQ(location.Name, "SAME");
    EXPECT_EQ(location.FileNumber, 1);
    EXPECT_EQ(location.Size, 6);
    EXPECT_EQ(psk.PSK_GetArchiveDataVersion(2), 4);
}

TEST_F(ArchiveFixture, a_loose_file_is_found_without_regard_to_case_and_loaded_unchecked)
{
    writeFile(dir / "start/PELUN/LibData/psurl.txt", "loose bytes");
    ASSERT_EQ(open(archiveFile("a.psk", {member("A", "1")})), 0);
    archive::psk_File location;
    location.Size = 99;
    EXPECT_EQ(psk.PSK_GetFileLocation(location, "pelun\\LIBDATA\\PsUrl.TXT"), 1024);
    EXPECT_EQ(location.Size, 99);
    EXPECT_EQ(psk.PSK_FindFile("PELUN\\LIBDATA\\PSURL.TXT"), 1024);
    common::MemoryStream* stream = nullptr;
    EXPECT_EQ(psk.PSK_GetFileStream("pelun\\libdata\\psurl.txt", stream), 0);
    EXPECT_EQ(textOf(*stream), "loose bytes");
    EXPECT_EQ(stream->position(), 0u);
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(ArchiveFixture, loose_lookup_never_leaves_the_base_directory_nor_takes_a_directory)
{
    writeFile(dir / "secret.txt", "outside");
    makeDir(dir / "start/SUB");
    EXPECT_EQ(psk.PSK_FindFile("..\\secret.txt"), -1);
    EXPECT_EQ(psk.PSK_FindFile("sub"), -1);
    EXPECT_EQ(psk.PSK_GetFileStream("..\\secret.txt"), -1);
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_GetFileLocation: Nemohu najít soubor: \"..\\SECRET.TXT\""});
}

TEST_F(ArchiveFixture, lookup_reports_a_missing_name_upper_cased_and_find_stays_silent)
{
    EXPECT_EQ(psk.PSK_FindFile("nowhere.txt"), -1);
    EXPECT_TRUE(port.shown.empty());
    archive::psk_File location;
    EXPECT_EQ(psk.PSK_GetFileLocation(location, "nowhere.txt"), -1);
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_GetFileLocation: Nemohu najít soubor: \"NOWHERE.TXT\""});
}

TEST_F(ArchiveFixture, every_extraction_reuses_the_one_stream)
{
    ASSERT_EQ(open(archiveFile("a.psk", {member("ONE", "first"), member("TWO", "second", 0)})), 0);
    common::MemoryStream* first = nullptr;
    common::MemoryStream* second = nullptr;
    ASSERT_EQ(psk.PSK_GetFileStream("one", first), 1);
    ASSERT_EQ(psk.PSK_GetFileStream("two", second), 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(textOf(*second), "second");
    EXPECT_EQ(psk.PSK_GetFileStream("three"), -1);
    EXPECT_EQ(psk.FileData().size(), 0u);
}

TEST_F(ArchiveFixture, memory_is_accounted_per_mode_and_released_on_close)
{
    std::string a = archiveFile("a.psk", {member("A", std::string(1000, 'a'), 0)});
    ASSERT_EQ(open(a, 1), 0);
    const std::int64_t tableAndNames = 36 + 2;
    EXPECT_EQ(psk.PSK_AllocatedBytes(), tableAndNames);
    ASSERT_EQ(open(dir.path() + "//a.psk", 0), 1);
    EXPECT_EQ(psk.PSK_AllocatedBytes(), 2 * tableAndNames + 1006);
    EXPECT_EQ(psk.PSK_OpenCount(), 2);
    EXPECT_EQ(psk.PSK_Deinit(), 2);
    EXPECT_EQ(psk.PSK_AllocatedBytes(), 0);
    EXPECT_EQ(psk.PSK_Deinit(), -1);
    EXPECT_EQ(lastMessage(), "psk_Deinit: Inicializace ještě nebyla provedena");
}

TEST_F(ArchiveFixture, open_checks_come_before_the_file_is_touched)
{
    std::int32_t n = 3;
    EXPECT_FALSE(psk.PSK_OpenArchive(n, dir / "missing.psk", 0));
    EXPECT_EQ(n, -1);
    EXPECT_FALSE(psk.PSK_OpenArchive(n, dir / "missing.psk", 2));
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"PSK_OpenArchive: Soubor \"" + dir / "missing.psk" + "\" neexistuje",
                                        "PSK_OpenArchive: chybná hodnota parametru MODE"}));
    EXPECT_EQ(psk.slot(0).path, "*");
}

TEST(PskompModule, an_uninitialised_module_reports_every_operation)
{
    TempDir dir;
    RecordingPort port;
    platform::KeyValueStore registry{dir / "registry.ini"};
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    common::Pelun pelun{port, drives, registry, {dir.path(), dir / "Windows"}};
    archive::Pskomp psk{pelun};
    EXPECT_FALSE(psk.startUp(dir / "absent"));
    std::int32_t n = 0;
    archive::psk_File location;
    EXPECT_FALSE(psk.PSK_OpenArchive(n, dir / "x.psk", 0));
    EXPECT_FALSE(psk.PSK_CloseArchive(0));
    EXPECT_EQ(psk.PSK_FindFile("x"), -1);
    EXPECT_EQ(psk.PSK_GetFileLocation(location, "x"), -1);
    EXPECT_EQ(psk.PSK_GetArchiveDataVersion(0), 0);
    EXPECT_EQ(psk.PSK_GetPelunPskArchNumber(), -1);
    EXPECT_FALSE(psk.PSK_ClosePelunPskr());
    n = 0;
    EXPECT_EQ(psk.PSK_OpenSystemPSK(n, dir / "x.psk", 0), -1);
    EXPECT_EQ(port.texts(),
              (std::vector<std::string>{"PSK_Init: Adresář \"" + dir / "absent" + "\" není přístupný",
                                        "Pelun: Initialization: Nepodařilo se provést inicializaci modulu PSKOMP",
                                        "PSK_OpenArchive: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_CloseArchive: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_GetFileLocation: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_GetFileLocation: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_GetArchiveDataVersion: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_GetPelunPskArchNumber: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_ClosePelunPskr: Ještě nebyla provedena inicializace modulu PSKOMP",
                                        "PSK_OpenSystemPsk: Ještě nebyla provedena inicializace modulu PSKOMP"}));
    EXPECT_EQ(n, 0);
    // Shut-down still asks the module to finish, which says that it never started.
    port.shown.clear();
    psk.shutDown();
    EXPECT_EQ(port.texts(), std::vector<std::string>{"psk_Deinit: Inicializace ještě nebyla provedena"});
}

TEST_F(ArchiveFixture, a_second_init_is_refused_and_shut_down_closes_what_is_open)
{
    EXPECT_FALSE(psk.PSK_Init(dir.path()));
    EXPECT_EQ(lastMessage(), "PSK_Init: Inicializace již byla provedena");
    EXPECT_EQ(psk.PSK_BaseDir(), dir / "start");
    psk.shutDown(); // not started through startUp: nothing happens
    EXPECT_TRUE(psk.PSK_Initialized());
    ASSERT_EQ(psk.PSK_Deinit(), 0);
    ASSERT_TRUE(psk.startUp(dir / "start"));
    ASSERT_EQ(open(archiveFile("a.psk", {member("A", "1")}), 1), 0);
    psk.shutDown();
    EXPECT_FALSE(psk.PSK_Initialized());
    EXPECT_EQ(psk.PSK_AllocatedBytes(), 0);
    EXPECT_EQ(psk.slot(0).path, "");
    EXPECT_FALSE(psk.slot(0).file.isOpen());
    EXPECT_EQ(port.shown.size(), 1u);
}

TEST_F(ArchiveFixture, a_member_of_many_inflate_pieces_comes_back_whole_and_checked_in_both_modes)
{
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::string path = archiveFile("big.psk", {member("BIG", big), member("SMALL", "abc")});
    for (std::int32_t mode : {0, 1}) {
        std::int32_t n = open(path, mode);
        ASSERT_GE(n, 0);
        ASSERT_EQ(psk.PSK_GetFileStream("big"), 1);
        EXPECT_EQ(textOf(psk.FileData()), big);
        ASSERT_TRUE(psk.PSK_CloseArchive(n));
    }
    // The same content under a wrong checksum fails as a damaged member does.
    auto bytes = tools::buildPsk({member("BIG", big)}, 0);
    bytes[130 + 20] ^= 0x01; // the CRC field of the first table record
    writeBytes(dir / "bad.psk", bytes);
    std::int32_t n = open(dir / "bad.psk");
    ASSERT_GE(n, 0);
    EXPECT_EQ(psk.PSK_GetFileStream("BIG"), -1);
    EXPECT_EQ(lastMessage(),
              "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen) (CRC Error)");
}
