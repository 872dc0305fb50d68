// What vorkan-cli says about the medium's speed and its slow spots, held against the
// vorkan-faultfs server's own log of when it answered each read; and how fast it gives the
// shell back its prompt when a thread is stuck in the kernel.
#include "cli_run.h"
#include "faultfs_mount.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <unistd.h>

using namespace std::chrono_literals;
using namespace cli_testing;
using nlohmann::json;
using testing_support::ChildProcess;
using testing_support::FaultFsMount;

namespace {

class CliFigures : public ::testing::Test, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        std::string reason = FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }

    json readJson(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return json::parse(text.str());
    }
};

struct Answer {
    long long ms;
    std::int64_t bytes;
};

// "vorkan-faultfs: read PATH OFFSET LENGTH MS" for every read the server answered.
std::vector<Answer> answeredReads(const std::string& log)
{
    static const std::regex line("vorkan-faultfs: read \\S+ \\d+ (\\d+) (\\d+)");
    std::vector<Answer> reads;
    for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
        reads.push_back({std::stoll((*it)[2]), std::stoll((*it)[1])});
    std::sort(reads.begin(), reads.end(), [](const Answer& a, const Answer& b) { return a.ms < b.ms; });
    return reads;
}

// The most the medium delivered within any span of the given length.
std::int64_t mostWithin(const std::vector<Answer>& reads, long long spanMs)
{
    std::int64_t best = 0;
    std::int64_t sum = 0;
    std::size_t first = 0;
    for (const Answer& r : reads) {
        sum += r.bytes;
        while (reads[first].ms <= r.ms - spanMs)
            sum -= reads[first++].bytes;
        best = std::max(best, sum);
    }
    return best;
}

std::int64_t kbPerSecondOf(const std::string& line)
{
    static const std::regex kb(".*: (\\d+) KB/s");
    std::smatch m;
    return std::regex_match(line, m, kb) ? std::stoll(m[1]) : -1;
}

// Reads take 40 ms each, side by side; one read stalls 3 s while the reader goes on with the
// files after it, and one file fails at 15 %.
TEST_F(CliFigures, theSpeedsAreWhatTheMediumDeliveredWhenItDeliveredIt)
{
    std::string tree = "a-stall 2M stall 1M 3\n";
    for (int i = 0; i < 40; ++i)
        tree += "f" + std::to_string(10 + i) + " 1536K\n";
    tree += "z-bad 4M eio-at 629146\n";
    mount(tree, "mnt", {"--read-delay", "40", "--log-reads"});
    std::string out = dir_ / "r.json";
    // Slow from 2.5 s: the stall is 3 s, and a 40 ms read that a loaded machine (or a
    // sanitizer) stretches past a second is not what this test is about.
    ProcessResult r = runCli({"--dir", fs_->path(), "--slow", "2.5", "--json", out});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem;
    json doc = readJson(out);

    std::vector<Answer> reads = answeredReads(fs_->log());
    ASSERT_FALSE(reads.empty()) << fs_->log();
    std::int64_t delivered = 0;
    for (const Answer& a : reads)
        delivered += a.bytes;
    // A second of ticks is a second of the medium's, give or take the time between the
    // server's answer and the reader's taking it.
    std::int64_t mostInASecond = mostWithin(reads, 1250);

    std::int64_t average = kbPerSecondOf(p.line(11));
    std::int64_t maximum = kbPerSecondOf(p.line(12));
    ASSERT_GT(average, 0) << p.line(11);
    ASSERT_GT(maximum, 0) << p.line(12);
    EXPECT_LE(average, maximum);
    EXPECT_LE(maximum * 1024, mostInASecond) << "more than the medium delivered in any second";
    // The average is over the seconds of reading, one sample each (the test's seconds also
    // hold the counting, and the two clocks start in different whole seconds).
    ASSERT_FALSE(doc["speed"].empty());
    const std::int64_t readingSeconds = doc["speed"].back()[0];
    EXPECT_LE(average * 1024 * readingSeconds, delivered) << "the unread rest of the failed file counted";

    std::int64_t previous = 0;
    std::int64_t sum = 0;
    for (const json& sample : doc["speed"]) {
        EXPECT_EQ(sample[0].get<std::int64_t>(), previous + 1) << "a second without a sample";
        previous = sample[0];
        EXPECT_LE(sample[1].get<std::int64_t>(), mostInASecond) << sample.dump();
        sum += sample[1].get<std::int64_t>();
    }
    EXPECT_LE(sum, delivered);

    // Only the stalled request was slow, not the ones that came back beside it.
    ASSERT_EQ(doc["slow"].size(), 1U) << doc["slow"].dump(1);
    const json& slow = doc["slow"][0];
    EXPECT_EQ(slow["path"], at("a-stall"));
    EXPECT_LE(slow["offset"].get<std::int64_t>(), 1 << 20);
    EXPECT_GE(slow["seconds"].get<double>(), 2.0); // the 3 s stall, less what a busy machine blurs
}

// A medium that serves one whole request at a time, as a disc does: whatever is queued behind
// a slow spot waits for it, and is no slow read of its own. (Which request of the file gets
// the blame can be one ahead of the spot: io_uring hands requests to FUSE from worker
// threads, so the server may take them in another order than they were sent.)
TEST_F(CliFigures, threeSlowSpotsAreThreeSlowReads)
{
    std::string tree = "a 4M stall 1M 2\nb 4M stall 2M 2\nc 4M stall 3M 2\n";
    for (int i = 0; i < 20; ++i)
        tree += "d" + std::to_string(10 + i) + " 256K\n";
    mount(tree, "mnt", {"-s", "--whole-requests"});
    std::string out = dir_ / "r.json";
    ProcessResult r = runCli({"--dir", fs_->path(), "--json", out});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    json doc = readJson(out);
    ASSERT_EQ(doc["slow"].size(), 3U) << doc["slow"].dump(1);
    std::int64_t spot = 1 << 20;
    for (const char* name : {"a", "b", "c"}) {
        auto it =
            std::find_if(doc["slow"].begin(), doc["slow"].end(), [&](const json& s) { return s["path"] == at(name); });
        ASSERT_NE(it, doc["slow"].end()) << name << ": " << doc["slow"].dump(1);
        EXPECT_LE((*it)["offset"].get<std::int64_t>(), spot) << name;
        EXPECT_GE((*it)["seconds"].get<double>(), 1.5) << name;
        EXPECT_LT((*it)["seconds"].get<double>(), 3.5) << name << ": more than the stall itself";
        spot += 1 << 20;
    }
}

// The process of the test, a child of the one the shell waits for.
pid_t testProcessOf(pid_t cli)
{
    std::ifstream children("/proc/" + std::to_string(cli) + "/task/" + std::to_string(cli) + "/children");
    pid_t child = 0;
    children >> child;
    return child;
}

// Reads take 0.5 s each; stopped (SIGSTOP) for 3 s in the middle of the reading, the run
// blames no read for the time it did not run, and its curve still has every second.
TEST_F(CliFigures, timeStoppedBySigstopIsNoSlowReadAndLeavesNoSecondOut)
{
    std::string tree;
    for (int i = 0; i < 24; ++i)
        tree += "f" + std::to_string(10 + i) + " 4M\n";
    mount(tree, "mnt", {"--read-delay", "500", "--whole-requests", "--log-reads"});
    std::string out = dir_ / "r.json";
    // Slow from 2 s on: four times a read, and less than the stop.
    ChildProcess cli(cliCommand({"--dir", fs_->path(), "--json", out, "--slow", "2"}));
    ASSERT_TRUE(fs_->waitForLog("read /f1", 20s)) << fs_->log() << cli.errSoFar();
    std::this_thread::sleep_for(500ms);
    pid_t test = testProcessOf(cli.pid());
    ASSERT_GT(test, 0);
    ASSERT_EQ(::kill(test, SIGSTOP), 0);
    std::this_thread::sleep_for(3s);
    ASSERT_EQ(::kill(test, SIGCONT), 0);
    ProcessResult r = cli.wait(60s);
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    json doc = readJson(out);
    EXPECT_TRUE(doc["slow"].empty()) << doc["slow"].dump(1);
    std::int64_t previous = 0;
    for (const json& sample : doc["speed"]) {
        EXPECT_EQ(sample[0].get<std::int64_t>(), previous + 1) << doc["speed"].dump();
        previous = sample[0];
    }
    EXPECT_GE(previous, 4);
}

// The stalls here do not end when the reading process dies, as a drive's retries or a FUSE
// request already handed to its server would not: the process cannot end until they do.
class CliStuckInTheKernel : public CliFigures, public ::testing::WithParamInterface<int> {};

TEST_P(CliStuckInTheKernel, aStopGivesThePromptBackWithinASecond)
{
    struct Case {
        const char* tree;
        const char* logged;
    };
    for (Case c : {Case{"slow 300000 stall 65536 60\n", "stall begins /slow"},
                   Case{"a 10\nslow/ list-stall 60\nslow/x 10\n", "list stall begins /slow"}}) {
        mount(c.tree, std::string("mnt-") + c.logged[0], {"--stubborn"});
        ChildProcess cli(cliCommand({"--dir", fs_->path()}));
        ASSERT_TRUE(fs_->waitForLog(c.logged, 20s)) << fs_->log() << cli.errSoFar();
        auto signalled = std::chrono::steady_clock::now();
        cli.signal(GetParam());
        ProcessResult r = cli.wait(15s);
        auto took = std::chrono::steady_clock::now() - signalled;
        ASSERT_FALSE(r.timedOut) << c.logged << ": still waiting; " << fs_->log();
        EXPECT_EQ(r.exitCode, 130) << c.logged << ": " << r.describe();
        EXPECT_EQ(r.out, "");
        EXPECT_LT(took, 1s) << c.logged;
        fs_.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStuckInTheKernel, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& signal) { return signal.param == SIGINT ? "SIGINT" : "SIGTERM"; });

TEST_F(CliFigures, aMountThatDoesNotAnswerHoldsUpNeitherTheDriveListNorATestElsewhere)
{
    mount("a 10\n", "mnt", {"--root-stall", "60"});
    testing_support::writeFile(dir_ / "other/x", "data");
    ProcessResult drives = runCli({"--drives"}, 20s);
    EXPECT_EQ(drives.exitCode, 0) << drives.describe();
    EXPECT_LT(drives.elapsed, 5s);
    ProcessResult other = runCli({"--dir", dir_ / "other"}, 20s);
    EXPECT_EQ(other.exitCode, 0) << other.describe();
    EXPECT_LT(other.elapsed, 5s);
}

// Under /mnt the mount is a drive of the list: one that does not answer is not ready.
TEST_F(CliFigures, aDriveThatDoesNotAnswerIsListedAsNotReady)
{
    struct DirUnderMnt {
        std::string path;
        DirUnderMnt()
        {
            char name[] = "/mnt/vorkan-test-XXXXXX";
            path = ::mkdtemp(name) != nullptr ? name : "";
        }
        ~DirUnderMnt() { ::rmdir(path.c_str()); }
    } under;
    ASSERT_FALSE(under.path.empty());
    const std::string& point = under.path;
    FaultFsMount stalled("a 10\n", point, {"--root-stall", "60"});
    ProcessResult r = runCli({"--drives"}, 20s);
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_LT(r.elapsed, 5s);
    bool listed = false;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(point + "\t") != std::string::npos) {
            listed = true;
            EXPECT_NE(line.find("\tnení připravena"), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(listed) << r.out;
}

} // namespace
