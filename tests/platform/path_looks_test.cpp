#include "platform/path_looks.h"

#include "faultfs_mount.h"
#include "platform/filesystem.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(MountPointByName, is_the_longest_mount_point_that_is_a_whole_leading_part_of_the_path)
{
    testing_support::TempDir dir;
    const std::string table = dir / "mountinfo";
    std::ofstream(table) << "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                            "30 22 8:2 / /mnt rw - ext4 /dev/sda2 rw\n"
                            "31 30 8:3 / /mnt/a rw - ext4 /dev/sda3 rw\n"
                            "32 30 0:40 / /mnt/a\\040b rw - fuse.x x rw\n";
    EXPECT_EQ(platform::mountPointByName("/mnt/a/x/y", table), "/mnt/a");
    EXPECT_EQ(platform::mountPointByName("/mnt/a", table), "/mnt/a");
    EXPECT_EQ(platform::mountPointByName("/mnt/ab/x", table), "/mnt"); // not /mnt/a
    EXPECT_EQ(platform::mountPointByName("/mnt/a b/x", table), "/mnt/a b");
    EXPECT_EQ(platform::mountPointByName("/home/x", table), "/");
    EXPECT_EQ(platform::mountPointByName("/x", dir / "no such table"), "/");
}

class PathLooksOnFaultFs : public ::testing::Test, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }

    template <class F>
    static Clock::duration timeOf(F&& look)
    {
        auto start = Clock::now();
        look();
        return Clock::now() - start;
    }
};

// A window asks again and again: a stalled mount must not gather a thread per question, nor
// make the window wait each time, nor keep the other mounts from answering.
TEST_F(PathLooksOnFaultFs, a_stalled_mount_holds_few_threads_however_often_it_is_asked)
{
    mount("slow/ getattr-stall 60\nslow2/ getattr-stall 60\nslow3/ getattr-stall 60\n");
    platform::PathLooks looks(200ms);
    const std::string before = platform::currentDirectory();

    EXPECT_GE(timeOf([&] { EXPECT_FALSE(looks.directoryExists(at("slow"))); }), 190ms);
    EXPECT_EQ(looks.underWay(), 1u);
    // The same path again, in any manner: no answer at once, and no second thread.
    EXPECT_LT(timeOf([&] {
                  EXPECT_FALSE(looks.directoryExists(at("slow")));
                  EXPECT_FALSE(looks.setCurrentDirectory(at("slow")));
                  EXPECT_EQ(looks.listSubdirectories(at("slow")).error, ETIMEDOUT);
              }),
              150ms);
    EXPECT_EQ(looks.underWay(), 1u);
    EXPECT_EQ(platform::currentDirectory(), before);

    EXPECT_FALSE(looks.directoryExists(at("slow2")));
    EXPECT_EQ(looks.underWay(), platform::PathLooks::kMostPerMount);
    EXPECT_LT(timeOf([&] { EXPECT_FALSE(looks.directoryExists(at("slow3"))); }), 150ms);
    EXPECT_EQ(looks.underWay(), platform::PathLooks::kMostPerMount);

    // Another mount still answers.
    EXPECT_TRUE(looks.directoryExists(dir_.path()));
    EXPECT_EQ(looks.listSubdirectories(dir_.path()).error, 0);
    EXPECT_TRUE(looks.setCurrentDirectory(dir_.path()));
    EXPECT_EQ(platform::currentDirectory(), dir_.path());
    EXPECT_TRUE(platform::setCurrentDirectory(before));
}

// A mount that was only slow is asked again once its late answer has come (this one is slow
// at every look: the second look waits the bound again rather than being refused).
TEST_F(PathLooksOnFaultFs, a_path_is_asked_again_once_its_late_answer_has_come)
{
    mount("late/ getattr-stall 1\n");
    platform::PathLooks looks(200ms);
    EXPECT_FALSE(looks.directoryExists(at("late")));
    auto deadline = Clock::now() + 5s;
    while (looks.underWay() > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(looks.underWay(), 0u);
    EXPECT_GE(timeOf([&] { looks.directoryExists(at("late")); }), 190ms);
    EXPECT_EQ(looks.underWay(), 1u);
}

} // namespace
