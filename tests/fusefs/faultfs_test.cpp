#include "faultfs_mount.h"
#include "tests/support/temp_dir.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <sstream>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using testing_support::FaultFsMount;
using testing_support::TempDir;

namespace {

faultfs::Tree treeOf(const std::string& text)
{
    faultfs::Tree tree;
    std::istringstream in(text);
    tree.addLines(in, "test");
    return tree;
}

TEST(FaultFsTree, describedEntriesKeepTheirOrderAndCreateParents)
{
    faultfs::Tree tree = treeOf("b/deep/x 1K\n"
                                "a 5  # comment\n"
                                "\n"
                                "b/y 2M eio-at 100\n"
                                "empty/\n");
    const faultfs::Entry* root = tree.find("/");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->children.size(), 3u);
    EXPECT_EQ(tree.at(root->children[0]).path, "/b");
    EXPECT_EQ(tree.at(root->children[1]).path, "/a");
    EXPECT_EQ(tree.at(root->children[2]).path, "/empty");
    ASSERT_NE(tree.find("/b/deep/x"), nullptr);
    EXPECT_EQ(tree.find("/b/deep/x")->size, 1024);
    EXPECT_EQ(tree.find("/b/y")->fault, faultfs::Fault::EioAt);
    EXPECT_EQ(tree.find("/b/y")->size, 2 << 20);
    EXPECT_TRUE(tree.find("/empty")->isDir);
}

TEST(FaultFsTree, badDescriptionsAreRefusedWithTheirLine)
{
    for (const char* bad : {"a", "a x", "a 5 melt", "a 5 eio-at", "a 5 stall 1", "a 10 short 10", "a 10 eio-range 5 5",
                            "a/../b 1", "d/ 5", "a 5\na 6", "f 1\nf/g 1", "a 5 open-eio extra", "a 1T", "a -1"}) {
        EXPECT_THROW(treeOf(bad), std::invalid_argument) << bad;
    }
    try {
        treeOf("ok 1\nbroken\n");
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("test:2:"), std::string::npos) << e.what();
    }
}

TEST(FaultFsTree, aBadRangeFailsEveryReadThatTouchesIt)
{
    faultfs::Tree tree = treeOf("hole 100K eio-range 40000 50000\n");
    const faultfs::Entry& hole = *tree.find("/hole");
    EXPECT_EQ(faultfs::planRead(hole, 0, 40000).length, 40000);
    EXPECT_EQ(faultfs::planRead(hole, 0, 40001).error, EIO);
    EXPECT_EQ(faultfs::planRead(hole, 49999, 10).error, EIO);
    EXPECT_EQ(faultfs::planRead(hole, 50000, 4096).length, 4096);
}

TEST(FaultFsTree, readsFollowTheFault)
{
    faultfs::Tree tree = treeOf("eio 1000 eio-at 300\nshort 1000 short 600\nslow 1000 stall 500 7\nplain 1000\n");
    const faultfs::Entry& eio = *tree.find("/eio");
    EXPECT_EQ(faultfs::planRead(eio, 0, 256).length, 256);
    faultfs::ReadOutcome across = faultfs::planRead(eio, 256, 256);
    EXPECT_EQ(across.error, 0);
    EXPECT_EQ(across.length, 44);
    EXPECT_EQ(faultfs::planRead(eio, 300, 256).error, EIO);
    EXPECT_EQ(faultfs::planRead(eio, 900, 256).error, EIO);

    const faultfs::Entry& shortFile = *tree.find("/short");
    EXPECT_EQ(faultfs::planRead(shortFile, 512, 512).length, 88);
    EXPECT_EQ(faultfs::planRead(shortFile, 600, 512).length, 0);

    const faultfs::Entry& slow = *tree.find("/slow");
    EXPECT_EQ(faultfs::planRead(slow, 0, 500).stallSeconds, 0);
    EXPECT_EQ(faultfs::planRead(slow, 0, 501).stallSeconds, 7);
    EXPECT_EQ(faultfs::planRead(slow, 0, 501).length, 501);
    EXPECT_EQ(faultfs::planRead(slow, 501, 100).stallSeconds, 0);

    EXPECT_EQ(faultfs::planRead(*tree.find("/plain"), 900, 256).length, 100);
    EXPECT_EQ(faultfs::planRead(*tree.find("/plain"), 1000, 256).length, 0);
}

class FaultFsMounted : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason = FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        testing_support::makeDir(dir_ / "mnt");
    }
    void mount(const std::string& description) { fs_ = std::make_unique<FaultFsMount>(description, dir_ / "mnt"); }
    std::string at(const std::string& name) const { return fs_->path() + "/" + name; }

    TempDir dir_;
    std::unique_ptr<FaultFsMount> fs_;
};

// Reads until end or error; returns what came and the errno of a failing read (or 0).
std::pair<std::string, int> readWhole(const std::string& path, std::size_t chunk = 65536)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {"", errno};
    std::string data;
    std::string buf(chunk, '\0');
    int error = 0;
    for (;;) {
        ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0)
            break;
        data.append(buf.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return {data, error};
}

TEST_F(FaultFsMounted, servesTheTreeInTheDescribedOrderWithPatternContent)
{
    mount("z.txt 100000\nsub/a 3\n.hidden 0\n");
    DIR* d = ::opendir(fs_->path().c_str());
    ASSERT_NE(d, nullptr);
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        names.emplace_back(e->d_name);
    ::closedir(d);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "z.txt", "sub", ".hidden"}));

    struct stat st;
    ASSERT_EQ(::stat(at("z.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 100000);
    auto [data, error] = readWhole(at("z.txt"), 4000);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(data.size(), 100000u);
    for (std::size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(data[i], faultfs::patternByte(static_cast<std::int64_t>(i))) << i;
    EXPECT_EQ(readWhole(at("sub/a")).first, "abc");
    EXPECT_EQ(::open(at("z.txt").c_str(), O_WRONLY), -1);
}

TEST_F(FaultFsMounted, eachFaultStrikesAsDescribed)
{
    mount("gone 10 open-eio\nlocked 10 open-eacces\nbad 200000 eio-at 70000\nfirst 100 eio-at 0\n"
          "short 200000 short 100000\n");
    EXPECT_EQ(readWhole(at("gone")).second, EIO);
    EXPECT_EQ(readWhole(at("locked")).second, EACCES);

    auto [bad, badError] = readWhole(at("bad"));
    EXPECT_EQ(badError, EIO);
    EXPECT_EQ(bad.size(), 70000u);
    EXPECT_EQ(readWhole(at("first")).second, EIO);

    struct stat st;
    ASSERT_EQ(::stat(at("short").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 200000);
    auto [shortData, shortError] = readWhole(at("short"));
    EXPECT_EQ(shortError, 0);
    EXPECT_EQ(shortData.size(), 100000u);
    EXPECT_NE(fs_->log().find("eio /bad 70000"), std::string::npos) << fs_->log();
}

TEST_F(FaultFsMounted, aStalledReadIgnoresSignalsButEndsWithItsReader)
{
    mount("slow 200000 stall 65536 30\n");
    testing_support::ChildProcess reader({"/bin/dd", "if=" + at("slow"), "of=/dev/null", "bs=65536"});
    ASSERT_TRUE(fs_->waitForLog("stall begins /slow 65536 30s", 10s)) << fs_->log();
    reader.signal(SIGINT);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(reader.running()) << "a signal got the reader out of the stall";
    reader.signal(SIGKILL);
    testing_support::ProcessResult end = reader.wait(10s);
    EXPECT_FALSE(end.timedOut) << "the killed reader was kept until the stall ended";
    EXPECT_EQ(end.termSignal, SIGKILL);
}

TEST_F(FaultFsMounted, unmountsPromptlyDuringAStall)
{
    mount("slow 100000 stall 0 60\n");
    testing_support::ChildProcess reader({"/bin/cat", at("slow")});
    ASSERT_TRUE(fs_->waitForLog("stall begins", 10s)) << fs_->log();
    auto started = std::chrono::steady_clock::now();
    fs_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_FALSE(testing_support::isMountPoint(dir_ / "mnt"));
    EXPECT_FALSE(reader.wait(10s).timedOut);
}

} // namespace
