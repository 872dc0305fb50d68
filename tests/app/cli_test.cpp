// vorkan-cli on real trees: what it counts, what it reads, how it ends.
#include "cli_run.h"
#include "tests/support/deep_tree.h"
#include "tests/support/descendant_memory.h"
#include "tests/support/held_for_writing.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <regex>

using namespace std::chrono_literals;
using namespace cli_testing;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using testing_support::HeldForWriting;
using testing_support::makeDir;
using testing_support::TempDir;
using testing_support::writeFile;
using testing_support::writeFileOfSize;

namespace {

const char* const kComplete = "Kompletní test adresářů a veškerých dat souborů";
const char* const kQuick = "Test adresářové struktury a vybraných dat souborů";

// A finished run: the exit status, a well-formed protocol and its counts.
::testing::AssertionResult finished(const ProcessResult& r, int exitCode, Protocol& p)
{
    if (r.timedOut || r.exitCode != exitCode)
        return ::testing::AssertionFailure() << "expected exit " << exitCode << ", " << r.describe();
    p = parseProtocol(r.out);
    if (!p.wellFormed)
        return ::testing::AssertionFailure() << "protocol " << p.problem << ":\n" << r.out;
    return ::testing::AssertionSuccess();
}

void expectCounts(const Protocol& p, std::int64_t files, std::int64_t dirs, std::int64_t bytes)
{
    EXPECT_EQ(p.line(15), "Počet testovaných souborů: " + std::to_string(files));
    EXPECT_EQ(p.line(16), "Počet testovaných adresářů: " + std::to_string(dirs));
    EXPECT_EQ(p.line(17), "Velikost testovaných objektů: " + std::to_string(bytes) + " B");
    EXPECT_EQ(p.line(20), "Celkový počet chyb:" + std::to_string(p.failed.size()));
}

// The times and speeds of a run vary; their shape does not.
void expectTimeAndSpeedLines(const Protocol& p, bool quick)
{
    static const std::regex time("Doba trvání testu: ( |[ \\d]*\\d : [ \\d]\\d : [ \\d]\\d)");
    static const std::regex speed("(Průměrná|Maximální) rychlost čtení dat: ( |\\d+ KB/s)");
    EXPECT_TRUE(std::regex_match(p.line(10), time)) << p.line(10);
    EXPECT_TRUE(std::regex_match(p.line(11), speed)) << p.line(11);
    EXPECT_TRUE(std::regex_match(p.line(12), speed)) << p.line(12);
    if (quick) {
        EXPECT_EQ(p.line(11), "Průměrná rychlost čtení dat:  ");
        EXPECT_EQ(p.line(12), "Maximální rychlost čtení dat:  ");
    }
}

void expectFixedLines(const Protocol& p, const std::string& kind, const std::string& where, bool quick)
{
    EXPECT_EQ(p.line(1), "Výsledek testu programu PS Vorkan v1.10");
    EXPECT_EQ(p.line(2), std::string(70, '*'));
    EXPECT_EQ(p.line(3), "");
    EXPECT_EQ(p.line(4), "NASTAVENÍ TESTU:");
    EXPECT_EQ(p.line(5), "Testovaný objekt: " + kind);
    EXPECT_EQ(p.line(6), "Umístění: " + where);
    EXPECT_EQ(p.line(7), std::string("Typ testu: ") + (quick ? kQuick : kComplete));
    EXPECT_EQ(p.line(8), "");
    EXPECT_EQ(p.line(9), "INFORMACE:");
    EXPECT_EQ(p.line(13), "");
    EXPECT_EQ(p.line(14), "TESTOVANÉ OBJEKTY");
    EXPECT_EQ(p.line(18), "");
    EXPECT_EQ(p.line(19), "CHYBY:");
    expectTimeAndSpeedLines(p, quick);
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

class Cli : public ::testing::Test {
protected:
    std::string root() const { return dir_.path(); }
    std::string at(const std::string& relative) const { return dir_ / relative; }
    TempDir dir_;
};

TEST_F(Cli, countsEveryFileAndDirectoryOfANestedTreeHiddenAndEmptyOnesIncluded)
{
    writeFile(at("empty.txt"), "");
    writeFile(at("one"), "x");
    writeFileOfSize(at(".hidden"), 65536);
    writeFileOfSize(at("a/65537.bin"), 65537);
    writeFileOfSize(at("a/b/c/deep.bin"), 100000);
    writeFileOfSize(at(".hiddendir/inner"), 3);
    makeDir(at("a/empty-dir"));

    Protocol p;
    ASSERT_TRUE(finished(runCli({"--dir", root()}), 0, p));
    expectFixedLines(p, "Adresář a podadresáře", root(), false);
    expectCounts(p, 6, 6, 0 + 1 + 65536 + 65537 + 100000 + 3);
    EXPECT_TRUE(p.failed.empty());
}

TEST_F(Cli, aFileTestCountsNoDirectory)
{
    writeFileOfSize(at("d/file.bin"), 70000);
    Protocol p;
    ASSERT_TRUE(finished(runCli({"--file", at("d/file.bin")}), 0, p));
    expectFixedLines(p, "Soubor", at("d/file.bin"), false);
    expectCounts(p, 1, 0, 70000);
}

TEST_F(Cli, theQuickTestPassesTinyFilesThatReadBackWhole)
{
    writeFile(at("zero"), "");
    writeFile(at("one"), "1");
    writeFile(at("two"), "22");
    writeFileOfSize(at("sub/large"), 200000);

    Protocol quick;
    ASSERT_TRUE(finished(runCli({"--quick", "--dir", root()}), 0, quick));
    expectFixedLines(quick, "Adresář a podadresáře", root(), true);
    expectCounts(quick, 4, 2, 200003);
    EXPECT_TRUE(quick.failed.empty());

    Protocol single;
    ASSERT_TRUE(finished(runCli({"--quick", "--file", at("one")}), 0, single));
    EXPECT_TRUE(single.failed.empty());

    // The walk joins names to the directory as it was typed.
    HeldForWriting busy(at("two"));
    ASSERT_TRUE(busy.holding());
    Protocol typed;
    ASSERT_TRUE(finished(runCli({"--quick", "--dir", root() + "/"}), 1, typed));
    EXPECT_EQ(typed.line(6), "Umístění: " + root() + "/");
    EXPECT_THAT(typed.failed, ElementsAre(root() + "//two"));
}

TEST_F(Cli, neitherDepthNorPathLengthNorTheOpenFileLimitLosesAFile)
{
    // 700 levels, a path of 5,600 bytes: beyond PATH_MAX, and one descriptor per level would
    // not fit under a limit of 64 open files, nor a window of 8 under 16.
    std::string deepest = testing_support::makeDeepChain(root(), 700, "deep_07");
    ASSERT_GT(deepest.size(), 5000u);
    for (const char* limit : {"--nofile=64", "--nofile=16"}) {
        for (bool quick : {false, true}) {
            std::vector<std::string> args = cliCommand({"--dir", root()});
            if (quick)
                args.insert(args.end() - 2, "--quick");
            args.insert(args.begin(), {"/usr/bin/prlimit", limit, "--"});
            Protocol p;
            ASSERT_TRUE(finished(testing_support::runProcess(args, 120s), 0, p)) << limit;
            expectCounts(p, 700, 701, 700);
        }
    }
    // Below what the walk can work with, a test would call readable files unreadable.
    std::vector<std::string> args = cliCommand({"--dir", root()});
    args.insert(args.begin(), {"/usr/bin/prlimit", "--nofile=12", "--"});
    ProcessResult r = testing_support::runProcess(args, 120s);
    EXPECT_EQ(r.exitCode, 3) << r.describe();
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, ::testing::HasSubstr("limit otevřených souborů (RLIMIT_NOFILE, ulimit -n) 12 nestačí"));
}

// In memory: building and removing 200,000 entries a level apart takes minutes on a busy
// disk, and the walk is what is tested here.
class DeepTreeInMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[] = "/dev/shm/vorkan-deep-XXXXXX";
        if (::mkdtemp(base) == nullptr)
            GTEST_SKIP() << "no /dev/shm";
        root_ = base;
    }
    void TearDown() override
    {
        if (!root_.empty())
            testing_support::removeTree(root_);
    }
    std::string root_;
};

TEST_F(DeepTreeInMemory, aHundredThousandLevelsAreCountedAndReadWithMemoryThatGrowsWithTheDepth)
{
    // A call per level ran out of stack here, and a path copied per level made memory grow
    // with the square of the depth (gigabytes).
    testing_support::makeDeepChain(root_, 100000, "d");
    Protocol p;
    long peak = 0;
    std::string peakOf;
    {
        testing_support::DescendantMemory memory;
        ASSERT_TRUE(finished(runCli({"--dir", root_}, 600s), 0, p));
        peak = memory.peakKib();
        peakOf = memory.peakDescription();
    }
    expectCounts(p, 100000, 100001, 100000);
    RecordProperty("peak_rss_kib", static_cast<int>(peak));
    // The children's rusage, for the record: it also holds what a child shared with this
    // process before it ran the program.
    struct rusage usage {};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    RecordProperty("children_maxrss_kib", static_cast<int>(usage.ru_maxrss));
    EXPECT_GT(peak, 0);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's allocator keeps freed blocks in quarantine and never hands a size
    // class's memory to another: paths that grow level by level leave gigabytes resident
    // (3.2 GB measured) that the program itself does not hold (57 MB without it).
    (void)peakOf;
#else
    EXPECT_LT(peak, 1L << 20) << "KiB: " << peakOf;
#endif
}

TEST_F(Cli, aSparseFileOver4GiBIsCountedWithItsFullSizeAndReadToTheEnd)
{
    const std::int64_t size = (std::int64_t{4} << 30) + 12345;
    writeFile(at("small"), "abc");
    {
        int fd = ::open(at("sparse.img").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ASSERT_EQ(::pwrite(fd, "end", 3, static_cast<off_t>(size - 3)), 3);
        ::close(fd);
    }
    Protocol p;
    ASSERT_TRUE(finished(runCli({"--dir", root()}, 300s), 0, p));
    expectCounts(p, 2, 1, size + 3);

    Protocol file;
    ASSERT_TRUE(finished(runCli({"--quick", "--file", at("sparse.img")}), 0, file));
    expectCounts(file, 1, 0, size);
}

TEST_F(Cli, linksFifosSocketsAndDevicesAreNeitherOpenedNorCounted)
{
    writeFile(at("real.txt"), "12345");
    makeDir(at("sub"));
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(at("sub/fifo2").c_str(), 0666), 0);
    ASSERT_EQ(::mknod(at("socket").c_str(), S_IFSOCK | 0644, 0), 0);
    std::filesystem::create_symlink("loop-b", at("loop-a"));
    std::filesystem::create_symlink("loop-a", at("loop-b"));
    std::filesystem::create_symlink("..", at("sub/up"));
    std::filesystem::create_symlink("/", at("sub/root"));
    std::filesystem::create_symlink(at("real.txt"), at("sub/link.txt"));
    std::filesystem::create_symlink("missing", at("dangling"));
    bool root = ::geteuid() == 0;
    if (root) {
        // /dev/zero never ends: a program that reads it hangs.
        ASSERT_EQ(::mknod(at("zero-device").c_str(), S_IFCHR | 0644, makedev(1, 5)), 0);
        ASSERT_EQ(::mknod(at("sub/loop-device").c_str(), S_IFBLK | 0644, makedev(7, 0)), 0);
    }

    for (bool quick : {false, true}) {
        std::vector<std::string> args{"--dir", this->root()};
        if (quick)
            args.insert(args.begin(), "--quick");
        Protocol p;
        ASSERT_TRUE(finished(runCli(args, 30s), 0, p)) << (quick ? "quick" : "complete");
        expectCounts(p, 1, 2, 5);
    }

    ProcessResult fifo = runCli({"--file", at("fifo")}, 30s);
    EXPECT_FALSE(fifo.timedOut) << "a file test of a FIFO hangs";
    EXPECT_EQ(fifo.exitCode, 2) << fifo.describe();
    ProcessResult link = runCli({"--file", at("loop-a")}, 30s);
    EXPECT_EQ(link.exitCode, 2) << link.describe();
}

TEST_F(Cli, aFileHeldOpenForWritingByAnotherProcessIsListedAsFailed)
{
    writeFile(at("free.txt"), "free");
    writeFile(at("busy.txt"), "busy");
    int writer = ::open(at("busy.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    Protocol held;
    ProcessResult r = runCli({"--dir", root()});
    ::close(writer);
    ASSERT_TRUE(finished(r, 1, held));
    EXPECT_THAT(held.failed, ElementsAre(at("busy.txt")));
    expectCounts(held, 2, 1, 8);

    Protocol released;
    ASSERT_TRUE(finished(runCli({"--dir", root()}), 0, released));
    EXPECT_TRUE(released.failed.empty());
}

// The run as a user who cannot read everything: root reads every file whatever its mode.
TEST_F(Cli, filesAnOrdinaryUserCannotReadFailAndDirectoriesItCannotListAreFindings)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    namespace fs = std::filesystem;
    // The program as a copy the user may run, whatever the modes of the build tree.
    makeDir(at("bin"));
    fs::copy_file(VORKAN_CLI_PATH, at("bin/vorkan-cli"));
    writeFile(at("tree/readable.txt"), std::string(100, 'r'));
    writeFile(at("tree/secret.txt"), std::string(50, 's'));
    writeFile(at("tree/closed/inside.txt"), std::string(10, 'i'));
    writeFile(at("tree/open/fine.txt"), std::string(7, 'f'));
    for (const char* p : {"", "bin", "bin/vorkan-cli", "tree", "tree/open"})
        fs::permissions(at(p), fs::perms(0755));
    for (const char* p : {"tree/readable.txt", "tree/open/fine.txt"})
        fs::permissions(at(p), fs::perms(0644));
    fs::permissions(at("tree/secret.txt"), fs::perms(0600));
    fs::permissions(at("tree/closed"), fs::perms(0700));

    ProcessResult r = testing_support::runProcess({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                                   "--clear-groups", at("bin/vorkan-cli"), "--dir", at("tree")},
                                                  60s);
    Protocol p;
    ASSERT_TRUE(finished(r, 1, p));
    // The closed directory counts as visited, with nothing in it, and is listed after the
    // files beside it.
    EXPECT_THAT(p.failed, ElementsAre(at("tree/secret.txt"), at("tree/closed")));
    expectCounts(p, 3, 3, 157);
}

TEST_F(Cli, refusedObjectsAndBadUsageEndWithStatus2AndTheirMessage)
{
    writeFile(at("file.txt"), "x");
    makeDir(at("only/dirs/here"));
    struct Case {
        std::vector<std::string> args;
        std::string message; // the whole line on stderr; empty: any message
    };
    const Case cases[] = {
        {{"--dir", at("missing")}, "Adresář " + at("missing") + " není přístupný !"},
        {{"--dir", at("file.txt")}, "Adresář " + at("file.txt") + " není přístupný !"},
        {{"--file", at("missing.txt")}, "Soubor " + at("missing.txt") + " neexistuje !"},
        {{"--file", at("only")}, "Soubor " + at("only") + " neexistuje !"},
        {{"--drive", ""}, "Neplatné označení jednotky !"},
        {{"--drive", "1"}, "1 není platné označení jednotky"},
        {{"--drive", "z:"}, "z není platné označení jednotky"},
        {{"--drive", "čd"}, "č není platné označení jednotky"},
        {{"--report", "", "--dir", root()}, "vorkan-cli: --report needs the name of a file"},
        {{}, ""},
        {{"--bogus"}, ""},
        {{"--dir"}, ""},
        {{"--dir", root(), "--file", at("file.txt")}, ""},
        {{"--quick"}, ""},
    };
    for (const Case& c : cases) {
        std::string command = ::testing::PrintToString(c.args);
        ProcessResult r = runCli(c.args, 30s);
        EXPECT_EQ(r.exitCode, 2) << command << ": " << r.describe();
        EXPECT_EQ(r.out, "") << command;
        if (!c.message.empty())
            EXPECT_THAT(linesOf(r.err), ::testing::Contains(c.message)) << command << ": " << r.err;
        else
            EXPECT_NE(r.err, "") << command << ": bad usage without a word";
    }

    ProcessResult empty = runCli({"--dir", at("only")}, 30s);
    EXPECT_EQ(empty.exitCode, 2) << empty.describe();
    EXPECT_EQ(empty.out, "");
    EXPECT_THAT(empty.err, ::testing::HasSubstr(at("only")));
    EXPECT_THAT(empty.err, ::testing::HasSubstr("nejsou žádné objekty, které by bylo možné testovat !"));

    ProcessResult version = runCli({"--version"}, 30s);
    EXPECT_EQ(version.exitCode, 0) << version.describe();
    EXPECT_THAT(version.out, ::testing::HasSubstr("Vorkan v1.20"));
}

TEST_F(Cli, everyMessageIsOneLineWhateverTheNamesInItHold)
{
    makeDir(at("only/dirs"));
    struct Case {
        std::vector<std::string> args;
        std::string line; // the whole of standard error
    };
    const std::string forged = at("x\nCelkový počet chyb:0\r");
    const Case cases[] = {
        {{"--dir", forged}, "Adresář " + at("x?Celkový počet chyb:0?") + " není přístupný !"},
        {{"--file", forged}, "Soubor " + at("x?Celkový počet chyb:0?") + " neexistuje !"},
        {{"--dir", at("only")}, "V adresáři " + at("only") + " nejsou žádné objekty, které by bylo možné testovat !"},
        {{"--drive", "\n"}, "? není platné označení jednotky"},
    };
    for (const Case& c : cases) {
        ProcessResult r = runCli(c.args, 30s);
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_EQ(r.err.substr(r.err.find_last_of('\n', r.err.size() - 2) + 1), c.line + "\n") << r.err;
        EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    }
    // The number of seconds must be a number: NaN and infinity would turn slow reads off.
    for (const std::string& slow :
         std::vector<std::string>{"nan", "inf", "-1", "1e400", "x", std::string(300, '9') + "e99"}) {
        ProcessResult r = runCli({"--slow", slow, "--dir", at("only")}, 30s);
        EXPECT_EQ(r.exitCode, 2) << slow << ": " << r.describe();
        EXPECT_THAT(r.err, ::testing::HasSubstr("needs a finite number of seconds, 0 or more")) << slow;
        EXPECT_LT(r.err.size(), 200u) << "the refusal does not repeat the value: " << r.err;
    }
}

TEST_F(Cli, aReportThatCannotBeWrittenEndsWithStatus4)
{
    writeFile(at("tree/file.txt"), "data");
    makeDir(at("a-directory"));
    for (const std::string& report : {at("a-directory"), at("no/such/dir/report.txt")}) {
        ProcessResult r = runCli({"--report", report, "--dir", at("tree")}, 30s);
        EXPECT_EQ(r.exitCode, 4) << report << ": " << r.describe();
    }
    EXPECT_TRUE(std::filesystem::is_directory(at("a-directory")));
}

// The saved file must be what the window saves: Windows-1250, CR LF after every line.
std::string savedForm(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += toCp1250(line) + "\r\n";
    return text;
}

TEST_F(Cli, theSavedProtocolOfACompleteTestIsWindows1250WithCrLf)
{
    writeFileOfSize(at("tree/a.bin"), 131072);
    writeFileOfSize(at("tree/sub/b.bin"), 1);
    writeFile(at("protokol.txt"), std::string(5000, 'o'));

    ProcessResult r = runCli({"--report", at("protokol.txt"), "--dir", at("tree")});
    Protocol p;
    ASSERT_TRUE(finished(r, 0, p));
    std::vector<std::string> expected{
        "Výsledek testu programu PS Vorkan v1.10",
        std::string(70, '*'),
        "",
        "NASTAVENÍ TESTU:",
        "Testovaný objekt: Adresář a podadresáře",
        "Umístění: " + at("tree"),
        std::string("Typ testu: ") + kComplete,
        "",
        "INFORMACE:",
        p.line(10),
        p.line(11),
        p.line(12),
        "",
        "TESTOVANÉ OBJEKTY",
        "Počet testovaných souborů: 2",
        "Počet testovaných adresářů: 2",
        "Velikost testovaných objektů: 131073 B",
        "",
        "CHYBY:",
        "Celkový počet chyb:0",
        " ",
        "CHYBNÉ SOUBORY: ",
        " ",
        "---- Konec protokolu --------- ",
    };
    expectTimeAndSpeedLines(p, false);
    EXPECT_EQ(protocolLines(p), expected);
    EXPECT_EQ(testing_support::readFile(at("protokol.txt")), savedForm(expected));
}

TEST_F(Cli, theSavedProtocolListsFailedFilesWithTheirCzechNames)
{
    const std::string failed = at("tree/žluťoučký kůň.txt");
    writeFile(failed, "1");
    writeFile(at("tree/Ořech.txt"), "ok");
    HeldForWriting busy(failed);
    ProcessResult r = runCli({"--quick", "--report", at("report"), "--dir", at("tree")});
    Protocol p;
    ASSERT_TRUE(finished(r, 1, p));
    ASSERT_THAT(p.failed, ElementsAre(failed));
    expectFixedLines(p, "Adresář a podadresáře", at("tree"), true);
    expectCounts(p, 2, 1, 3);
    EXPECT_EQ(testing_support::readFile(at("report")), savedForm(protocolLines(p)));
    EXPECT_NE(testing_support::readFile(at("report"))
                  .find("\x9e"
                        "lu\x9do"
                        "u\xe8"
                        "k\xfd k\xf9\xf2.txt\r\n"),
              std::string::npos);
}

} // namespace
