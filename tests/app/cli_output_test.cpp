// Where vorkan-cli's output goes: standard output that fails, names that are not plain
// text, and report names that hold something other than a plain file of the user's own.
#include "cli_run.h"
#include "platform/unique_fd.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

using namespace std::chrono_literals;
using namespace cli_testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing_support::makeDir;
using testing_support::readFile;
using testing_support::runProcess;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

class CliOutput : public ::testing::Test {
protected:
    std::string at(const std::string& relative) const { return dir_ / relative; }
    // vorkan-cli with its standard output redirected as a shell does it.
    ProcessResult runRedirected(const std::vector<std::string>& args, const std::string& redirection)
    {
        std::string command = "exec";
        for (const std::string& a : cliCommand(args))
            command += " '" + a + "'";
        return runProcess({"/bin/sh", "-c", command + " " + redirection}, 60s);
    }
    // vorkan-cli writing into a pipe whose reader has gone (it starts once the reader did).
    ProcessResult runIntoClosedPipe(const std::vector<std::string>& args)
    {
        std::string command = "set -o pipefail; (sleep 0.3; exec";
        for (const std::string& a : cliCommand(args))
            command += " '" + a + "'";
        return runProcess({"/bin/bash", "-c", command + ") | true"}, 60s);
    }
    // A copy of vorkan-cli that the user nobody may run, in a tree it may enter. Made once:
    // the reading child of a run that just ended may still be dying, and its program cannot
    // be written over until it is gone.
    std::string programForNobody()
    {
        fs::create_directories(at("bin"));
        if (!fs::exists(at("bin/vorkan-cli")))
            fs::copy_file(VORKAN_CLI_PATH, at("bin/vorkan-cli"));
        for (const char* p : {"", "bin", "bin/vorkan-cli"})
            fs::permissions(at(p), fs::perms(0755));
        return at("bin/vorkan-cli");
    }
    ProcessResult runAsNobody(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                      programForNobody()};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProcess(argv, 60s);
    }
    static bool root() { return ::geteuid() == 0; }
    TempDir dir_;
};

struct stat statOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST_F(CliOutput, outputThatCannotBeWrittenEndsWithItsOwnErrorTextAndStatus4)
{
    writeFile(at("tree/file.txt"), "data");
    const std::vector<std::string> commands[] = {{"--version"}, {"--help"}, {"--drives"}, {"--dir", at("tree")}};
    const std::pair<const char*, const char*> redirections[] = {
        {"> /dev/full", "No space left on device"}, {">&-", "Bad file descriptor"}, {"| true", "Broken pipe"}};
    for (const auto& [redirection, error] : redirections) {
        for (const auto& args : commands) {
            ProcessResult r = redirection[0] == '|' ? runIntoClosedPipe(args) : runRedirected(args, redirection);
            std::string what = ::testing::PrintToString(args) + " " + redirection;
            EXPECT_EQ(r.exitCode, 4) << what << ": " << r.describe();
            EXPECT_THAT(r.err, HasSubstr(std::string("vorkan-cli: cannot write to standard output: ") + error)) << what;
        }
    }
    // Each output is written whatever became of the others.
    ProcessResult r =
        runRedirected({"--report", at("report.txt"), "--json", at("run.json"), "--dir", at("tree")}, "> /dev/full");
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_THAT(readFile(at("report.txt")), HasSubstr(" chyb:0\r\n"));
    EXPECT_THAT(readFile(at("run.json")), HasSubstr("\"errors\": 0,"));
    makeDir(at("a-directory"));
    r = runCli({"--report", at("a-directory"), "--json", at("second.json"), "--dir", at("tree")}, 30s);
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_THAT(r.err, HasSubstr(at("a-directory")));
    EXPECT_THAT(readFile(at("second.json")), HasSubstr("\"errors\": 0,"));
    EXPECT_THAT(r.out, HasSubstr(" chyb:0\n")) << "the protocol on standard output too";
}

TEST_F(CliOutput, outputsNamingTheTestedFileOrEachOtherAreRefusedBeforeTheTest)
{
    const std::string content(100000, 't');
    writeFile(at("tested.bin"), content);
    ASSERT_EQ(::link(at("tested.bin").c_str(), at("hard.bin").c_str()), 0);
    ASSERT_EQ(::symlink(at("tested.bin").c_str(), at("soft.bin").c_str()), 0);
    for (const std::string option : {"--report", "--json"}) {
        std::string what = option == "--report" ? "report" : "JSON result";
        for (const std::string& output : {at("tested.bin"), at("hard.bin"), at("soft.bin"), at("./tested.bin")}) {
            ProcessResult r = runCli({option, output, "--file", at("tested.bin")}, 30s);
            EXPECT_EQ(r.exitCode, 2) << option << " " << output << ": " << r.describe();
            EXPECT_EQ(r.out, "") << output << ": no test may run";
            EXPECT_EQ(r.err,
                      "vorkan-cli: the " + what + " would be saved over the tested file itself: " + output + "\n");
            EXPECT_EQ(readFile(at("tested.bin")), content) << output;
        }
    }
    writeFile(at("tree/file.txt"), "data");
    writeFile(at("old.txt"), "old");
    ASSERT_EQ(::link(at("old.txt").c_str(), at("old-link.txt").c_str()), 0);
    const std::pair<std::string, std::string> same[] = {
        {at("new.txt"), at("new.txt")}, // not there yet: the same name
        {at("old.txt"), at("old-link.txt")},
        {"/dev/stdout", "-"},
    };
    for (const auto& [report, json] : same) {
        ProcessResult r = runCli({"--report", report, "--json", json, "--dir", at("tree")}, 30s);
        EXPECT_EQ(r.exitCode, 2) << report << " " << json << ": " << r.describe();
        EXPECT_EQ(r.err,
                  "vorkan-cli: the report and the JSON result would be saved to the same file: " + report + "\n");
    }
    EXPECT_EQ(readFile(at("old.txt")), "old");
    EXPECT_FALSE(fs::exists(at("new.txt")));

    ProcessResult empty = runCli({"--json", "", "--dir", at("tree")}, 30s);
    EXPECT_EQ(empty.exitCode, 2) << empty.describe();
    EXPECT_EQ(empty.err, "vorkan-cli: --json needs the name of a file or \"-\"\n");
}

TEST_F(CliOutput, theReportIsWrittenIntoDevicesFifosLinksAndOthersFilesWithoutReplacingThem)
{
    if (!root())
        GTEST_SKIP() << "needs root for device nodes and files of another owner";
    writeFile(at("tree/file.txt"), "data");
    ASSERT_EQ(::mknod(at("null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    ASSERT_EQ(::mknod(at("full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)), 0);
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0666), 0);
    writeFile(at("theirs.txt"), "old");
    ASSERT_EQ(::chown(at("theirs.txt").c_str(), 1234, 1234), 0);
    writeFile(at("linked.txt"), "old");
    ASSERT_EQ(::link(at("linked.txt").c_str(), at("other-name.txt").c_str()), 0);
    platform::UniqueFd reader(::open(at("fifo").c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(reader);

    struct Case {
        std::string report;
        int exitCode;
        mode_t type; // afterwards
    };
    const Case cases[] = {
        {at("null"), 0, S_IFCHR},       {at("full"), 4, S_IFCHR},       {at("fifo"), 0, S_IFIFO},
        {at("theirs.txt"), 0, S_IFREG}, {at("linked.txt"), 0, S_IFREG},
    };
    std::string saved;
    for (const Case& c : cases) {
        ProcessResult r = runCli({"--report", c.report, "--dir", at("tree")});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.report << ": " << r.describe();
        EXPECT_EQ(statOf(c.report).st_mode & S_IFMT, c.type) << c.report;
        if (c.report == at("theirs.txt"))
            saved = readFile(c.report);
    }
    EXPECT_THAT(saved, HasSubstr("---- Konec protokolu --------- \r\n"));
    char fromFifo[4096] = {};
    EXPECT_EQ(::read(reader.get(), fromFifo, sizeof fromFifo), static_cast<ssize_t>(saved.size()));
    EXPECT_EQ(statOf(at("theirs.txt")).st_uid, 1234u);
    EXPECT_EQ(readFile(at("other-name.txt")), readFile(at("linked.txt"))) << "hard links keep one content";
    EXPECT_EQ(statOf(at("linked.txt")).st_nlink, 2u);
}

// Names may hold any byte but "/" and NUL; none may forge a protocol line or steer a terminal.
TEST_F(CliOutput, controlCharactersAndBrokenUtf8OfListedNamesAreShownAsQuestionMarks)
{
    if (!root())
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const std::string forged = at("tree/a\nCelkový počet chyb:0\x1b[2J");
    const std::string latin = at("tree/caf\xe9.txt");
    writeFile(forged, "x");
    writeFile(latin, "y");
    writeFile(at("tree/ok.txt"), "z");
    fs::permissions(at("tree"), fs::perms(0755));
    for (const std::string& p : {forged, latin})
        fs::permissions(p, fs::perms(0600)); // root's: nobody cannot read them
    fs::permissions(at("tree/ok.txt"), fs::perms(0644));
    fs::create_directory(at("out"));
    fs::permissions(at("out"), fs::perms(0777));

    ProcessResult r = runAsNobody({"--report", at("out/report.txt"), "--dir", at("tree")});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem << "\n" << r.out;
    EXPECT_THAT(p.failed, ElementsAre(at("tree/a?Celkový počet chyb:0?[2J"), at("tree/caf?.txt")));
    const std::string report = readFile(at("out/report.txt"));
    EXPECT_THAT(report,
                HasSubstr("/tree/a?Celkov\xfd po\xe8"
                          "et chyb:0?[2J\r\n"));
    EXPECT_THAT(report, HasSubstr("/tree/caf?.txt\r\n"));
}

TEST_F(CliOutput, anOrdinaryUserCannotSaveOverAReadOnlyFileOfRootsInAWorldWritableDirectory)
{
    if (!root())
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    writeFile(at("tree/file.txt"), "data");
    writeFile(at("shared/roots.txt"), "root's own");
    writeFile(at("closed/mine.txt"), "nobody's, in a directory it cannot write");
    ASSERT_EQ(::chown(at("closed/mine.txt").c_str(), kNobody, kNobody), 0);
    for (const char* d : {"tree", "closed"})
        fs::permissions(at(d), fs::perms(0755));
    fs::permissions(at("tree/file.txt"), fs::perms(0644));
    fs::permissions(at("shared"), fs::perms(01777));
    fs::permissions(at("shared/roots.txt"), fs::perms(0644));

    ProcessResult refused = runAsNobody({"--report", at("shared/roots.txt"), "--dir", at("tree")});
    EXPECT_EQ(refused.exitCode, 4) << refused.describe();
    EXPECT_EQ(readFile(at("shared/roots.txt")), "root's own");
    EXPECT_EQ(statOf(at("shared/roots.txt")).st_uid, 0u);

    ProcessResult inPlace = runAsNobody({"--report", at("closed/mine.txt"), "--dir", at("tree")});
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.describe();
    EXPECT_THAT(readFile(at("closed/mine.txt")), HasSubstr(" chyb:0\r\n"));
}

} // namespace
