#include "tests/archive/archive_fixture.h"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

using namespace testing_support;

namespace {

const char* kKey = "Software\\PELUN Software\\SystemPSKFiles";

struct SharedArchive : ArchiveFixture {
    std::string local() { return dir / "start/Pelun.PSK"; }
    std::string installed() { return pelun.PS_GetSystemDir() + "/Pelun.PSK"; }

    void makeLocal(std::int32_t version) { writeBytes(local(), tools::buildPsk({member("WHO", "local")}, version)); }
    void makeInstalled(std::int32_t version)
    {
        writeBytes(installed(), tools::buildPsk({member("WHO", "installed")}, version));
        registry.write(kKey, "PelunPsk", installed());
    }
    std::string openedContent()
    {
        EXPECT_EQ(psk.PSK_GetFileStream("who"), 1);
        return textOf(psk.FileData());
    }
    std::int32_t openSystem(std::int32_t update)
    {
        std::int32_t n = 9;
        std::int32_t rc = psk.PSK_OpenSystemPSK(n, local(), update);
        EXPECT_EQ(rc == 0, n == 0);
        return rc;
    }
};

} // namespace

TEST_F(SharedArchive, the_value_name_is_the_file_name_without_extension_and_psk)
{
    EXPECT_EQ(archive::Pskomp::PSK_SystemFileKey("/x/y/Pelun.PSK"), "PelunPSK");
    EXPECT_EQ(archive::Pskomp::PSK_SystemFileKey("/x/y.d/Data"), "DataPSK");
    EXPECT_EQ(psk.PSK_GetPelunPskPath(), "*");
    registry.write(kKey, "PELUNPSK", "/some/where");
    EXPECT_EQ(psk.PSK_GetPelunPskPath(), "/some/where");
    EXPECT_EQ(psk.PSK_GetSystemFilePath(local()), "/some/where");
}

TEST_F(SharedArchive, update_out_of_range_is_refused_before_anything_is_read)
{
    std::int32_t n = 9;
    EXPECT_EQ(psk.PSK_OpenSystemPSK(n, local(), 3), -1);
    EXPECT_EQ(n, 9);
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_OpenSystemPSK: Chybná hodnota parametru UPDATE"});
}

TEST_F(SharedArchive, a_newer_local_copy_is_installed_and_the_installed_copy_opened)
{
    makeLocal(5);
    makeInstalled(3);
    ASSERT_EQ(openSystem(0), 0);
    EXPECT_EQ(psk.slot(0).path, installed());
    EXPECT_EQ(openedContent(), "local");
    EXPECT_EQ(readFile(installed()), readFile(local()));
    EXPECT_EQ(registry.read(kKey, "PelunPSK", "*"), installed());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pelun.PS_GetSystemDir()), {}), 1);
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(SharedArchive, an_older_or_equal_local_copy_opens_the_installed_one_and_copies_nothing)
{
    for (std::int32_t localVersion : {3, 5}) {
        makeLocal(localVersion);
        makeInstalled(5);
        ASSERT_EQ(openSystem(0), 0);
        EXPECT_EQ(openedContent(), "installed") << localVersion;
        psk.PSK_CloseArchive(0);
    }
}

TEST_F(SharedArchive, an_unversioned_local_copy_loses_to_any_installed_version)
{
    makeLocal(0);
    makeInstalled(1);
    ASSERT_EQ(openSystem(0), 0);
    EXPECT_EQ(openedContent(), "installed");
}

TEST_F(SharedArchive, with_neither_copy_the_open_fails_with_its_message)
{
    std::int32_t n = 9;
    EXPECT_EQ(psk.PSK_OpenSystemPSK(n, local(), 0), -1);
    EXPECT_EQ(n, 9);
    EXPECT_EQ(messages(), std::vector<std::string>{"PSK_OpenSystemPSK: Nepodařilo se otevřít archív " + local()});
}

TEST_F(SharedArchive, update_1_prefers_a_newer_local_copy_without_installing_it)
{
    makeLocal(5);
    makeInstalled(3);
    ASSERT_EQ(openSystem(1), 0);
    EXPECT_EQ(openedContent(), "local");
    EXPECT_NE(readFile(installed()), readFile(local()));
}

TEST_F(SharedArchive, update_2_opens_the_local_copy_even_when_a_newer_one_is_installed)
{
    makeLocal(1);
    makeInstalled(9);
    ASSERT_EQ(openSystem(2), 0);
    EXPECT_EQ(openedContent(), "local");
}

// Writes beyond a few bytes fail for as long as it lives, as on a full disk.
struct FileSizeLimit {
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit low{bytes, old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &low);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

TEST_F(SharedArchive, a_failed_install_names_the_destination_keeps_the_installed_copy_and_opens_the_local_one)
{
    makeLocal(5);
    makeInstalled(3);
    const std::string before = readFile(installed());
    {
        FileSizeLimit full(16);
        ASSERT_EQ(openSystem(0), 0);
    }
    EXPECT_EQ(openedContent(), "local");
    EXPECT_EQ(readFile(installed()), before);
    ASSERT_EQ(port.shown.size(), 1u);
    EXPECT_EQ(lastMessage(), "PS_CopyFile:  Není možné zapisovat do souboru " + installed());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pelun.PS_GetSystemDir()), {}), 1)
        << "no temporary copy may stay behind";
}

TEST_F(SharedArchive, a_registration_that_cannot_be_written_after_the_copy_is_reported)
{
    makeLocal(5);
    // The store's file cannot be created where a directory holds its name.
    makeDir(registry.file());
    EXPECT_FALSE(psk.PSK_InstallSystemFile(local()));
    ASSERT_EQ(port.shown.size(), 1u);
    EXPECT_EQ(lastMessage(), "PSK_InstallSystemFile: Nepodařilo se zaregistrovat soubor " + installed());
    EXPECT_EQ(readFile(installed()), readFile(local()));
}

TEST_F(SharedArchive, installing_a_missing_file_is_internal_error_26)
{
    EXPECT_FALSE(psk.PSK_InstallSystemFile(local()));
    EXPECT_EQ(lastMessage(),
              "Došlo k vnitřní chybě programu číslo 26.  Chyba: \"Soubor \"" + local() +
                  "\" není přístupný !\" Prosím restartujte aplikaci a pokud problém nezmizí proveďte "
                  "restart počítače. Pokud přesto problém nezmizí přeinstalujte aplikaci. V případě, že "
                  "se problém stále vyskytuje, kontaktujte autora programu.");
}

TEST_F(SharedArchive, the_maker_archive_is_found_in_any_letter_case_and_runs_the_hook)
{
    writeBytes(dir / "start/pelun.psk", tools::buildPsk({member("WHO", "lower")}, 2));
    int hooks = 0;
    psk.afterPelunPskOpened = [&] {
        ++hooks;
        EXPECT_EQ(psk.PSK_SystemArchNumber(), 0);
    };
    EXPECT_EQ(psk.PSK_GetPelunPskArchNumber(), -1);
    ASSERT_EQ(psk.PSK_OpenPelunPsk(1), 0);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(psk.PSK_GetPelunPskArchNumber(), 0);
    EXPECT_TRUE(psk.PSK_ClosePelunPskr());
    EXPECT_EQ(psk.PSK_GetPelunPskArchNumber(), -50);
    EXPECT_FALSE(psk.PSK_ClosePelunPskr());
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(SharedArchive, a_failed_open_of_the_maker_archive_runs_no_hook)
{
    int hooks = 0;
    psk.afterPelunPskOpened = [&] { ++hooks; };
    EXPECT_EQ(psk.PSK_OpenPelunPsk(0), -1);
    EXPECT_EQ(hooks, 0);
    EXPECT_EQ(psk.PSK_GetPelunPskArchNumber(), -1);
}
