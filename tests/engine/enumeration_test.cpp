#include "tests/engine/engine_fixture.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using engine::Page;
using engine::RunOutcome;
using engine::YieldPoint;
using testing_support::EngineFixture;
using testing_support::writeFile;

TEST_F(EngineFixture, counts_files_directories_and_sizes_hidden_and_empty_files_included)
{
    writeFile(tree() + "/a.txt", "hello");
    writeFile(tree() + "/.hidden", "xy");
    writeFile(tree() + "/empty", "");
    writeFile(tree() + "/one/b", std::string(1000, 'b'));
    testing_support::makeDir(tree() + "/two");
    runDir(tree());
    EXPECT_EQ(run().PocetSoub, 4);
    EXPECT_EQ(run().PocetAdr, 3);
    EXPECT_EQ(run().VelCelk, 1007);
    EXPECT_EQ(run().TestovanoSoub, 4);
    EXPECT_EQ(run().Zpracovano, 1007);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(host.count(YieldPoint::Directory), 3);
    EXPECT_EQ(host.count(YieldPoint::TestDirectory), 3);
}

TEST_F(EngineFixture, never_counts_links_fifos_or_loops)
{
    writeFile(tree() + "/real", "abc");
    ASSERT_EQ(::symlink(tree().c_str(), (tree() + "/loop").c_str()), 0);
    ASSERT_EQ(::symlink("real", (tree() + "/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((tree() + "/fifo").c_str(), 0600), 0);
    runDir(tree());
    EXPECT_EQ(run().PocetSoub, 1);
    EXPECT_EQ(run().PocetAdr, 1);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
}

TEST_F(EngineFixture, a_file_test_counts_one_file_and_no_directory)
{
    writeFile(dir / "f.dat", std::string(4321, 'f'));
    runFile(dir / "f.dat");
    EXPECT_EQ(run().PocetSoub, 1);
    EXPECT_EQ(run().PocetAdr, 0);
    EXPECT_EQ(run().VelCelk, 4321);
    EXPECT_EQ(host.count(YieldPoint::Directory), 0);
    const auto& lines = view().result.VyslTestu;
    EXPECT_EQ(lines[4], "Testovaný objekt: Soubor");
    EXPECT_EQ(lines[15], "Počet testovaných adresářů: 0");
    EXPECT_EQ(lines[16], "Velikost testovaných objektů: 4321 B");
}

TEST_F(EngineFixture, a_tree_without_files_ends_with_the_message_and_no_read_phase)
{
    testing_support::makeDir(tree() + "/a/b");
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::NoFiles);
    EXPECT_EQ(port.texts(),
              std::vector<std::string>{"V adresáři \n\r" + tree() +
                                       "\n\rnejsou žádné objekty, které by bylo možné testovat !"});
    EXPECT_EQ(run().PocetAdr, 3);
    EXPECT_EQ(view().page, Page::NastaveniTestu);
    EXPECT_EQ(host.count(YieldPoint::TestDirectory), 0);
    EXPECT_FALSE(host.mainActive);
}

TEST_F(EngineFixture, a_directory_that_cannot_be_listed_counts_without_entries_and_is_a_finding)
{
    writeFile(tree() + "/ok", "x");
    writeFile(tree() + "/closed/hidden", "y");
    ::chmod((tree() + "/closed").c_str(), 0);
    asOrdinaryUser([&] {
        runDir(tree());
        EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
        EXPECT_EQ(run().PocetSoub, 1);
        EXPECT_EQ(run().PocetAdr, 2);
        EXPECT_EQ(errors(), std::vector<std::string>{tree() + "/closed"});
        EXPECT_EQ(view().result.PocetchybL, "Počet chyb: 1");

        // Named as the object itself, it is refused before anything is counted.
        runDir(tree() + "/closed");
        EXPECT_EQ(engine.lastOutcome(), RunOutcome::Refused);
        EXPECT_EQ(port.shown.back().text, "Adresář " + tree() + "/closed není přístupný !");
    });
}

TEST_F(EngineFixture, the_counting_shows_each_directory_and_restores_the_labels)
{
    writeFile(tree() + "/sub/f", "x");
    std::vector<std::string> shown;
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::Directory) {
            shown.push_back(view().test.SoubJML);
            EXPECT_EQ(view().test.Label3, "Adresář:");
            EXPECT_EQ(view().test.StavL, "Čtou se informace o testovaných objektech ...");
            EXPECT_TRUE(host.mainActive);
        }
        if (where == YieldPoint::AfterEnumeration) {
            EXPECT_EQ(view().test.Label3, "Soubor:");
            EXPECT_EQ(view().test.StavL, "");
            EXPECT_FALSE(view().test.UkoncitBtnEnabled);
            EXPECT_FALSE(host.mainActive);
        }
        if (where == YieldPoint::BeforeFile) {
            EXPECT_TRUE(view().test.UkoncitBtnEnabled);
            EXPECT_EQ(view().test.StavL, "Testují se soubory ...");
            EXPECT_TRUE(host.mainActive);
            EXPECT_TRUE(host.soubActive);
        }
    };
    runDir(tree());
    EXPECT_EQ(shown, (std::vector<std::string>{tree(), tree() + "/sub"}));
}

TEST_F(EngineFixture, a_filesystem_mounted_below_the_tree_is_neither_entered_nor_counted)
{
    writeFile(tree() + "/here", "x");
    testing_support::makeDir(tree() + "/mnt");
    if (::geteuid() != 0 || std::system(("mount -t tmpfs vorkan-test " + tree() + "/mnt 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "mounting needs root";
    writeFile(tree() + "/mnt/elsewhere", "y");
    runDir(tree());
    std::system(("umount " + tree() + "/mnt").c_str());
    EXPECT_EQ(run().PocetSoub, 1);
    EXPECT_EQ(run().PocetAdr, 1);
}
