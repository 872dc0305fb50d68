// vorkan-cli against media that fail: the vorkan-faultfs filesystem serves files that cannot
// be opened, break off with EIO, end early or stall inside a read.
#include "cli_run.h"
#include "faultfs_mount.h"
#include "faulty_image.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using namespace cli_testing;
using ::testing::ElementsAre;
using testing_support::ChildProcess;
using testing_support::FaultFsMount;
using testing_support::TempDir;

namespace {

class CliOnFaultyMedia : public ::testing::Test, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        std::string reason = FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }
};

// The directory is listed before the files beside it: files are still read first.
const char* const kFaultyTree = "sub/\n"
                                "sub/inner-ok 1000\n"
                                "sub/inner-bad 300000 eio-at 131072\n"
                                "a-gone 10 open-eio\n"
                                "b-ok 70000\n"
                                "c-locked 10 open-eacces\n"
                                "d-bad 200000 eio-at 70000\n"
                                "e-short 200000 short 100000\n"
                                "f-first 5000 eio-at 0\n"
                                "sub2/deep/g-bad 10000 eio-at 5000\n";
const std::int64_t kFaultyTreeSize = 1000 + 300000 + 10 + 70000 + 10 + 200000 + 200000 + 5000 + 10000;

TEST_F(CliOnFaultyMedia, everyUnreadableFileIsListedWithItsFullPathInTheOrderOfFailure)
{
    mount(kFaultyTree);
    ProcessResult r = runCli({"--dir", fs_->path()});
    ASSERT_FALSE(r.timedOut) << r.describe();
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem << "\n" << r.out;
    EXPECT_THAT(p.failed,
                ElementsAre(at("a-gone"), at("c-locked"), at("d-bad"), at("e-short"), at("f-first"),
                            at("sub/inner-bad"), at("sub2/deep/g-bad")));
    EXPECT_EQ(p.line(15), "Počet testovaných souborů: 9");
    EXPECT_EQ(p.line(16), "Počet testovaných adresářů: 4");
    EXPECT_EQ(p.line(17), "Velikost testovaných objektů: " + std::to_string(kFaultyTreeSize) + " B");
    EXPECT_EQ(p.line(20), "Celkový počet chyb:7");
}

TEST_F(CliOnFaultyMedia, theQuickTestMeetsOnlyFaultsInTheFirstTwoBytes)
{
    mount(kFaultyTree);
    ProcessResult r = runCli({"--quick", "--dir", fs_->path()});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem << "\n" << r.out;
    EXPECT_THAT(p.failed, ElementsAre(at("a-gone"), at("c-locked"), at("f-first")));
    EXPECT_EQ(p.line(20), "Celkový počet chyb:3");
}

TEST_F(CliOnFaultyMedia, aFileTestOfAFileThatBreaksOffFails)
{
    mount("ok 100000\nbad 100000 eio-at 65536\nshort 100000 short 99999\n");
    for (const char* name : {"bad", "short"}) {
        ProcessResult r = runCli({"--file", at(name)});
        ASSERT_EQ(r.exitCode, 1) << name << ": " << r.describe();
        Protocol p = parseProtocol(r.out);
        ASSERT_TRUE(p.wellFormed) << p.problem;
        EXPECT_THAT(p.failed, ElementsAre(at(name)));
        EXPECT_EQ(p.line(17), "Velikost testovaných objektů: 100000 B");
    }
    EXPECT_EQ(runCli({"--file", at("ok")}).exitCode, 0);
}

class CliStoppedInAStall : public CliOnFaultyMedia, public ::testing::WithParamInterface<int> {};

TEST_P(CliStoppedInAStall, endsAtOnceWithStatus130AndNoReport)
{
    mount("first 1000\nslow 300000 stall 65536 60\nlast 1000\n");
    ChildProcess cli(cliCommand({"--dir", fs_->path()}));
    ASSERT_TRUE(fs_->waitForLog("stall begins /slow", 20s)) << fs_->log() << cli.errSoFar();
    auto signalled = std::chrono::steady_clock::now();
    cli.signal(GetParam());
    ProcessResult r = cli.wait(15s);
    auto took = std::chrono::steady_clock::now() - signalled;
    ASSERT_FALSE(r.timedOut) << "still waiting for the stalled read; " << fs_->log();
    EXPECT_EQ(r.exitCode, 130) << r.describe();
    EXPECT_EQ(r.out, "");
    EXPECT_LT(took, 10s);
}

// A listing or a look at a file's attributes that hangs in the kernel: the walk waits on
// a thread of its own, so a signal still ends the run at once.
TEST_P(CliStoppedInAStall, evenWhileAListingOrAStatHangs)
{
    struct Case {
        const char* tree;
        const char* logged;
        std::vector<std::string> object; // relative to the mount; the object itself hangs too
    };
    for (Case c : {Case{"a 10\nslow/ list-stall 60\nslow/x 10\n", "list stall begins /slow", {"--dir", ""}},
                   Case{"a 10\nb 10 getattr-stall 60\nc 10\n", "getattr stall begins /b", {"--dir", ""}},
                   Case{"slow/ list-stall 60\nslow/x 10\n", "list stall begins /slow", {"--dir", "slow"}},
                   Case{"b 10 getattr-stall 60\n", "getattr stall begins /b", {"--file", "b"}}}) {
        mount(c.tree, "mnt-" + c.object[0].substr(2) + "-" + c.logged[0]);
        std::string object = c.object[1].empty() ? fs_->path() : at(c.object[1]);
        ChildProcess cli(cliCommand({c.object[0], object}));
        ASSERT_TRUE(fs_->waitForLog(c.logged, 20s)) << fs_->log() << cli.errSoFar();
        auto signalled = std::chrono::steady_clock::now();
        cli.signal(GetParam());
        ProcessResult r = cli.wait(15s);
        auto took = std::chrono::steady_clock::now() - signalled;
        ASSERT_FALSE(r.timedOut) << c.logged << ": still waiting; " << fs_->log();
        EXPECT_EQ(r.exitCode, 130) << c.logged << ": " << r.describe();
        EXPECT_LT(took, 3s) << c.logged;
        fs_.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStoppedInAStall, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& signal) { return signal.param == SIGINT ? "SIGINT" : "SIGTERM"; });

TEST_F(CliOnFaultyMedia, aDirectoryThatCannotBeListedIsAFindingInWalkOrder)
{
    mount("a-bad 10 open-eio\nlost/ list-eio\nlost/never 10\nz/ok 5\nz/deeper/ list-eio\n");
    for (bool quick : {false, true}) {
        std::vector<std::string> args{"--dir", fs_->path()};
        if (quick)
            args.insert(args.begin(), "--quick");
        ProcessResult r = runCli(args);
        ASSERT_EQ(r.exitCode, 1) << r.describe();
        Protocol p = parseProtocol(r.out);
        ASSERT_TRUE(p.wellFormed) << p.problem << "\n" << r.out;
        EXPECT_THAT(p.failed, ElementsAre(at("a-bad"), at("lost"), at("z/deeper")));
        EXPECT_EQ(p.line(15), "Počet testovaných souborů: 2");
        EXPECT_EQ(p.line(16), "Počet testovaných adresářů: 4");
    }
    EXPECT_EQ(fs_->log().find("/lost/never"), std::string::npos);
}

// Its medium failing does not make a directory a usage error: tested alone, as tested as
// part of its parent, it is a finding.
TEST_F(CliOnFaultyMedia, aStartDirectoryOrFileWhoseMediumFailsIsTestedAndAFinding)
{
    mount("small/ list-eio\nsmall/never 10\nempty/\nempty/lost/ list-eio\nbroken 10 open-eio\n");
    const std::vector<std::string> objects[] = {
        {"--dir", at("small")}, {"--dir", at("empty")}, {"--file", at("broken")}};
    const std::string failed[] = {at("small"), at("empty/lost"), at("broken")};
    for (std::size_t i = 0; i < std::size(objects); ++i) {
        std::vector<std::string> args = objects[i];
        args.insert(args.begin(), {"--json", "-"});
        ProcessResult r = runCli(args);
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        EXPECT_THAT(r.out, ::testing::HasSubstr("\"path\": \"" + failed[i] + "\", \"kind\": "));
        EXPECT_THAT(r.out, ::testing::HasSubstr("\"error\": \"Input/output error\""));
        ProcessResult protocol = runCli(objects[i]);
        Protocol p = parseProtocol(protocol.out);
        ASSERT_TRUE(p.wellFormed) << p.problem << "\n" << protocol.describe();
        EXPECT_THAT(p.failed, ElementsAre(failed[i]));
    }
}

// timeout(1) sends one SIGTERM to the process and one to its group: one request to stop.
TEST_F(CliOnFaultyMedia, twoSignalsArrivingTogetherStopTheRunLikeOne)
{
    mount("slow-15 300000 stall 65536 60\nslow-2 300000 stall 65536 60\n");
    for (int sig : {SIGTERM, SIGINT}) {
        const std::string name = "slow-" + std::to_string(sig);
        ChildProcess cli(cliCommand({"--file", at(name)}));
        ASSERT_TRUE(fs_->waitForLog("stall begins /" + name, 20s)) << fs_->log() << cli.errSoFar();
        cli.signal(sig);
        cli.signal(sig);
        ProcessResult r = cli.wait(15s);
        ASSERT_FALSE(r.timedOut) << fs_->log();
        EXPECT_EQ(r.termSignal, 0) << sig << ": " << r.describe();
        EXPECT_EQ(r.exitCode, 130) << sig << ": " << r.describe();
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliOnFaultyMedia, aReadThatStallsForAWhileIsWaitedForAndIsNoError)
{
    mount("slow 200000 stall 100000 2\nafter 10\n");
    ProcessResult r = runCli({"--dir", fs_->path()});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem;
    EXPECT_TRUE(p.failed.empty());
    EXPECT_NE(fs_->log().find("stall ends /slow"), std::string::npos) << fs_->log();
}

TEST_F(CliOnFaultyMedia, aFilesystemMountedBelowTheTreeIsNeitherEnteredNorCounted)
{
    testing_support::writeFile(dir_ / "tree/a.txt", std::string(10, 'a'));
    testing_support::writeFile(dir_ / "tree/sub/b.txt", std::string(20, 'b'));
    mount("inside 1000\nbroken 1000 open-eio\nx/y 5\n", "tree/sub/mounted");
    ProcessResult r = runCli({"--dir", dir_ / "tree"});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem;
    EXPECT_EQ(p.line(15), "Počet testovaných souborů: 2");
    EXPECT_EQ(p.line(16), "Počet testovaných adresářů: 2");
    EXPECT_EQ(p.line(17), "Velikost testovaných objektů: 30 B");
    EXPECT_EQ(fs_->log().find("vorkan-faultfs: "), std::string::npos)
        << "the mounted files were opened: " << fs_->log();

    // Tested itself, the mounted filesystem is the object and is walked.
    ProcessResult own = runCli({"--dir", fs_->path()});
    EXPECT_EQ(own.exitCode, 1) << own.describe();
}

} // namespace

namespace {

// Every file of dir that an independent open and read cannot read.
std::set<std::string> unreadableFiles(const std::string& dir)
{
    std::set<std::string> unreadable;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr)
        return unreadable;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = dir + "/" + name;
        int fd = ::open(path.c_str(), O_RDONLY);
        char buffer[4096];
        if (fd < 0 || ::read(fd, buffer, sizeof buffer) < 0)
            unreadable.insert(path);
        if (fd >= 0)
            ::close(fd);
    }
    ::closedir(d);
    return unreadable;
}

nlohmann::json jsonOf(const ProcessResult& r)
{
    try {
        return nlohmann::json::parse(r.out);
    } catch (const nlohmann::json::exception&) {
        ADD_FAILURE() << "no JSON: " << r.describe();
        return {};
    }
}

} // namespace

// A block of the inode table that cannot be read loses the status of the files whose inodes
// lie there, not the directory that lists them.
TEST(CliOnADamagedImage, filesWhoseInodesCannotBeReadAreNamedEachInItsPlace)
{
    TempDir work;
    testing_support::makeDir(work / "source/d");
    for (int i = 0; i < 60; ++i)
        testing_support::writeFile(work / ("source/d/f" + std::to_string(100 + i)), "content " + std::to_string(i));
    FaultyImage image(work / "source", work.path(), 16);
    if (!image.reason().empty())
        GTEST_SKIP() << image.reason();
    std::int64_t bad = image.inodeBlockOffset("/d/f130");
    ASSERT_GT(bad, 0);
    ASSERT_NE(bad, image.inodeBlockOffset("/d")) << "the directory itself must stay readable";
    ASSERT_TRUE(image.attach(bad, bad + 4096)) << image.reason();
    const std::string d = image.mountPoint() + "/d";
    std::set<std::string> expected = unreadableFiles(d);
    ASSERT_GE(expected.size(), 8u);
    ASSERT_LT(expected.size(), 60u);

    ProcessResult r = runCli({"--json", "-", "--dir", image.mountPoint()}, 120s);
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    nlohmann::json doc = jsonOf(r);
    std::set<std::string> named;
    for (const auto& f : doc["findings"]) {
        named.insert(f["path"].get<std::string>());
        EXPECT_EQ(f["kind"], "open") << f.dump();
        EXPECT_EQ(f["error"], "Input/output error") << f.dump();
    }
    EXPECT_EQ(named, expected);
    EXPECT_EQ(doc["files"], 60) << "the files that cannot be looked at are counted too";
    EXPECT_EQ(doc["vanished"], 0);
}

// On a device of 512-byte sectors the first bad byte and the unreadable range are told to
// the sector, whichever way the reads are sent.
TEST(CliOnADamagedImage, damageIsMappedToTheLogicalBlockOnBothReadPaths)
{
    TempDir work;
    std::string content(1 << 20, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 4096);
    testing_support::writeFile(work / "source/big.bin", content);
    FaultyImage image(work / "source", work.path(), 16);
    if (!image.reason().empty())
        GTEST_SKIP() << image.reason();
    std::int64_t block = image.dataOffset("/big.bin", 10);
    ASSERT_GT(block, 0);
    ASSERT_TRUE(image.attach(block + 1536, block + 2048)) << image.reason();
    const std::int64_t first = 10 * 4096 + 1536;
    for (bool threads : {false, true}) {
        std::vector<std::string> argv{"/usr/bin/env"};
        if (threads)
            argv.push_back("VORKAN_NO_IO_URING=1");
        for (const std::string& a : cliCommand({"--map", "--json", "-", "--file", image.mountPoint() + "/big.bin"}))
            argv.push_back(a);
        ProcessResult r = testing_support::runProcess(argv, 120s);
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        nlohmann::json doc = jsonOf(r);
        ASSERT_EQ(doc["findings"].size(), 1u) << r.out;
        const nlohmann::json& f = doc["findings"][0];
        EXPECT_EQ(f["offset"], first) << "threads: " << threads;
        EXPECT_EQ(f["ranges"],
                  nlohmann::json::parse("[[" + std::to_string(first) + ", " + std::to_string(first + 512) + "]]"))
            << "threads: " << threads;
        EXPECT_EQ(f["unreadable_bytes"], 512);
    }
}
