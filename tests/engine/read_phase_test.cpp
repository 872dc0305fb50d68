#include "engine/details_view.h"
#include "engine/findings_json.h"
#include "tests/engine/engine_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using engine::Page;
using engine::RunOutcome;
using engine::YieldPoint;
using testing_support::EngineFixture;
using testing_support::writeFile;
using testing_support::writeFileOfSize;

TEST_F(EngineFixture, reads_files_in_chunks_of_64_kib_and_counts_every_byte)
{
    writeFileOfSize(tree() + "/a", 65537);
    writeFileOfSize(tree() + "/b", 65536);
    writeFile(tree() + "/empty", "");
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(run().Zpracovano, 131073);
    EXPECT_EQ(run().TestovanoSoub, 3);
    // Chunks: 65536 + 1 for a, 65536 for b, one empty chunk for the empty file.
    EXPECT_EQ(host.count(YieldPoint::AfterChunk), 4);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(view().page, Page::VysledekTestu);
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(EngineFixture, the_quick_test_passes_tiny_files_that_read_back_whole)
{
    writeFile(tree() + "/zero", "");
    writeFile(tree() + "/one", "1");
    writeFile(tree() + "/two", "22");
    writeFile(tree() + "/shrunk_to_one", "22");
    writeFile(tree() + "/shrunk_to_zero", "1");
    writeFileOfSize(tree() + "/big", 200000);
    emptyWhenShown({tree() + "/shrunk_to_zero"});
    host.onYield = [&, shrink = host.onYield](YieldPoint where) {
        if (where == YieldPoint::FileShown && view().test.SoubJML == tree() + "/shrunk_to_one")
            ::truncate((tree() + "/shrunk_to_one").c_str(), 1);
        shrink(where);
    };
    runDir(tree(), true);
    std::vector<std::string> failed = errors();
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{tree() + "/shrunk_to_one", tree() + "/shrunk_to_zero"}));
    EXPECT_EQ(run().TestovanoSoub, 6);
    // Readable files move no byte counter; a failed one counts with its listed size.
    EXPECT_EQ(run().Zpracovano, 3);
    EXPECT_EQ(run().PrectenoAktSoub, 0);
    EXPECT_EQ(view().result.VyslTestu[6], "Typ testu: Test adresářové struktury a vybraných dat souborů");
}

TEST_F(EngineFixture, files_changed_after_they_were_listed)
{
    engine.setFilesAhead(0); // each file is opened when its turn comes, after it is shown
    writeFileOfSize(tree() + "/deleted", 1000);
    writeFileOfSize(tree() + "/shrunk", 100000);
    writeFileOfSize(tree() + "/grown", 1000);
    writeFile(tree() + "/grown_empty", "");
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::AfterEnumeration)
            writeFile(tree() + "/added", "new");
        if (where != YieldPoint::FileShown)
            return;
        const std::string& file = view().test.SoubJML;
        if (file == tree() + "/deleted")
            std::filesystem::remove(file);
        else if (file == tree() + "/shrunk")
            std::filesystem::resize_file(file, 70000);
        else if (file == tree() + "/grown")
            writeFileOfSize(file, 5000);
        else if (file == tree() + "/grown_empty")
            writeFileOfSize(file, 10);
    };
    runDir(tree());
    std::vector<std::string> failed = errors();
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{tree() + "/deleted", tree() + "/grown_empty", tree() + "/shrunk"}));
    EXPECT_EQ(run().PocetSoub, 4);
    EXPECT_EQ(run().TestovanoSoub, 5) << "a file added after the counting is read too";
    // deleted 1000 (failed whole), shrunk 100000 (a chunk read, the rest counted on failure),
    // grown 1000 (only its listed size), grown_empty 0 (listed, no counter moved), added 3.
    EXPECT_EQ(run().Zpracovano, 1000 + 100000 + 1000 + 0 + 3);
}

TEST_F(EngineFixture, files_deleted_between_the_counting_and_the_reading_are_counted_as_vanished)
{
    for (const char* name : {"a/one", "a/two", "a/three", "b/keep", "gone/x", "gone/y"})
        writeFile(tree() + "/" + name, "x");
    host.onYield = [&](YieldPoint where) {
        if (where != YieldPoint::AfterEnumeration)
            return;
        std::filesystem::remove(tree() + "/a/one");
        std::filesystem::remove(tree() + "/a/two");
        std::filesystem::remove_all(tree() + "/gone");
        writeFile(tree() + "/b/new", "y"); // one added elsewhere does not make up for them
    };
    runDir(tree());
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(run().PocetSoub, 6);
    EXPECT_EQ(run().TestovanoSoub, 3);
    EXPECT_EQ(engine.findings().vanished, 4);
    EXPECT_NE(engine::findingsJson(engine).find("\n  \"vanished\": 4,\n"), std::string::npos);
    EXPECT_EQ(engine::detailsView(engine).vanished, "Soubory smazané mezi zjišťováním a testem (netestovány): 4");

    // Files below a directory that fails now are its finding's, not vanished.
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::AfterEnumeration)
            ::chmod((tree() + "/a").c_str(), 0);
    };
    writeFile(tree() + "/a/deeper/f", "x");
    if (::geteuid() == 0) { // the ordinary user must own what it closes
        for (const auto& e : std::filesystem::recursive_directory_iterator(tree()))
            EXPECT_EQ(::lchown(e.path().c_str(), 65534, 65534), 0);
    }
    asOrdinaryUser([&] {
        runDir(tree());
        EXPECT_EQ(errors(), std::vector<std::string>{tree() + "/a"});
        EXPECT_EQ(engine.findings().vanished, 0);
    });
    ::chmod((tree() + "/a").c_str(), 0755);

    host.onYield = nullptr;
    runDir(tree());
    EXPECT_EQ(engine.findings().vanished, 0) << "a new run starts from 0";
    EXPECT_EQ(engine::detailsView(engine).vanished, "");
}

TEST_F(EngineFixture, a_failure_in_the_middle_counts_the_unread_rest)
{
    writeFileOfSize(tree() + "/f", 200000);
    engine.setFilesAhead(0);
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::FileShown) // listed with 200000 bytes, ends after the first chunk
            std::filesystem::resize_file(tree() + "/f", 100000);
    };
    runDir(tree());
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(run().Zpracovano, 200000);
    EXPECT_EQ(run().TestovanoSoub, 1);
}

TEST_F(EngineFixture, a_file_held_open_for_writing_is_listed_as_failed)
{
    writeFile(tree() + "/busy", "data");
    writeFile(tree() + "/idle", "data");
    int fd = ::open((tree() + "/busy").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    pid_t child = ::fork();
    if (child == 0) { // the writer must be another process: a lease ignores our own
        ::sleep(30);
        ::_exit(0);
    }
    ::close(fd); // the child keeps it open
    runDir(tree());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(errors(), std::vector<std::string>{tree() + "/busy"});
}

TEST_F(EngineFixture, an_unreadable_file_is_a_finding_not_an_error_of_the_program)
{
    writeFile(tree() + "/secret", "x");
    ::chmod((tree() + "/secret").c_str(), 0);
    asOrdinaryUser([&] {
        runDir(tree());
        EXPECT_EQ(errors(), std::vector<std::string>{tree() + "/secret"});
        EXPECT_TRUE(port.shown.empty());
    });
}

TEST_F(EngineFixture, a_file_named_by_a_link_is_read_but_links_in_a_tree_are_not)
{
    writeFile(dir / "target", "content");
    ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "named").c_str()), 0);
    runFile(dir / "named");
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(run().Zpracovano, 7);
}

TEST_F(EngineFixture, a_sparse_file_beyond_4_gib_counts_with_its_full_size)
{
    int fd = ::open((dir / "sparse").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const std::int64_t size = (4LL << 30) + 12345;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    runFile(dir / "sparse", true);
    EXPECT_EQ(run().VelCelk, size);
    EXPECT_EQ(view().result.VyslTestu[16], "Velikost testovaných objektů: " + std::to_string(size) + " B");
    EXPECT_TRUE(errors().empty());
}
