#include "engine/report.h"
#include "tests/engine/engine_fixture.h"

#include <sys/stat.h>

#include <filesystem>

using engine::RunOutcome;
using testing_support::EngineFixture;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

std::string cp1250(const char* bytes)
{
    return bytes;
}

} // namespace

TEST_F(EngineFixture, a_run_without_errors_reports_zero_in_black)
{
    writeFile(tree() + "/a", "abc");
    runDir(tree());
    EXPECT_EQ(view().result.PocetchybL, "Počet chyb: 0");
    EXPECT_FALSE(view().result.PocetchybRed);
    const auto& l = view().result.VyslTestu;
    ASSERT_EQ(l.size(), 20u);
    EXPECT_EQ(l[0], "Výsledek testu programu PS Vorkan v1.10");
    EXPECT_EQ(l[1], std::string(70, '*'));
    EXPECT_EQ(l[2], "");
    EXPECT_EQ(l[3], "NASTAVENÍ TESTU:");
    EXPECT_EQ(l[5], "Umístění: " + tree());
    EXPECT_EQ(l[6], "Typ testu: Kompletní test adresářů a veškerých dat souborů");
    EXPECT_EQ(l[8], "INFORMACE:");
    EXPECT_EQ(l[13], "TESTOVANÉ OBJEKTY");
    EXPECT_EQ(l[14], "Počet testovaných souborů: 1");
    EXPECT_EQ(l[15], "Počet testovaných adresářů: 1");
    EXPECT_EQ(l[16], "Velikost testovaných objektů: 3 B");
    EXPECT_EQ(l[18], "CHYBY:");
    EXPECT_EQ(l[19], "Celkový počet chyb:0");
}

TEST_F(EngineFixture, failed_files_show_red_and_go_to_the_protocol_in_order_of_failure)
{
    for (const char* name : {"/a", "/b", "/c", "/ok"})
        writeFile(tree() + name, "12");
    emptyWhenShown({tree() + "/a", tree() + "/b", tree() + "/c"});
    runDir(tree(), true);
    EXPECT_EQ(view().result.PocetchybL, "Počet chyb: 3");
    EXPECT_TRUE(view().result.PocetchybRed);
    EXPECT_EQ(view().result.VyslTestu[19], "Celkový počet chyb:3");
    auto lines = engine::protocolLines(view().result);
    ASSERT_EQ(lines.size(), 20u + 2 + 3 + 2);
    EXPECT_EQ(lines[20], " ");
    EXPECT_EQ(lines[21], "CHYBNÉ SOUBORY: ");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 22, lines.begin() + 25), errors());
    EXPECT_EQ(lines[25], " ");
    EXPECT_EQ(lines[26], "---- Konec protokolu --------- ");
}

TEST(SaveProtocol, writes_windows_1250_with_cr_lf_on_every_line)
{
    testing_support::TempDir dir;
    engine::ResultView result;
    result.VyslTestu = {"Počet chyb", ""};
    // A name may hold line ends and escape sequences; none may forge a protocol line.
    result.ChybSezn = {"/x/ř", "/x/a\r\nb\x1b"};
    auto saved = engine::saveProtocol(dir / "protokol", engine::protocolLines(result));
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(result.ChybSezn[1], "/x/a\r\nb\x1b") << "the list itself keeps the exact name";
    EXPECT_EQ(readFile(dir / "protokol"),
              cp1250("Po\xe8"
                     "et chyb\r\n\r\n \r\nCHYBN\xc9 SOUBORY: \r\n/x/\xf8\r\n/x/a??b?\r\n \r\n"
                     "---- Konec protokolu --------- \r\n"));
}

TEST(SaveProtocol, an_empty_error_list_puts_the_blank_line_right_after_the_heading)
{
    testing_support::TempDir dir;
    engine::ResultView result;
    auto saved = engine::saveProtocol(dir / "p.txt", engine::protocolLines(result));
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(readFile(dir / "p.txt"), " \r\nCHYBN\xc9 SOUBORY: \r\n \r\n---- Konec protokolu --------- \r\n");
}

TEST(SaveProtocol, replaces_an_existing_file_whole_and_keeps_its_permissions)
{
    testing_support::TempDir dir;
    writeFile(dir / "old", std::string(5000, 'o'));
    ::chmod((dir / "old").c_str(), 0640);
    ASSERT_TRUE(engine::saveProtocol(dir / "old", {"new"}).ok);
    EXPECT_EQ(readFile(dir / "old"), "new\r\n");
    struct stat st {};
    ::stat((dir / "old").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(SaveProtocol, saves_through_a_link_and_not_over_it)
{
    testing_support::TempDir dir;
    writeFile(dir / "real", "old");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    ASSERT_TRUE(engine::saveProtocol(dir / "link", {"x"}).ok);
    EXPECT_EQ(readFile(dir / "real"), "x\r\n");
    struct stat st {};
    ::lstat((dir / "link").c_str(), &st);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(SaveProtocol, a_failure_leaves_the_old_file_and_no_stray_file_and_says_why)
{
    testing_support::TempDir dir;
    auto missing = engine::saveProtocol(dir / "no/such/dir/p.txt", {"x"});
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error.rfind("Protokol o testu nelze uložit do souboru " + dir / "no/such/dir/p.txt", 0), 0u);
    testing_support::makeDir(dir / "adir");
    EXPECT_FALSE(engine::saveProtocol(dir / "adir", {"x"}).ok) << "a directory is never replaced";
    EXPECT_TRUE(std::filesystem::is_directory(dir / "adir"));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
}
