#include "platform/dir_listing.h"
#include "platform/path_looks.h"

#include "faultfs_mount.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>

using testing_support::TempDir;

namespace {

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(LookUpFile, finds_regular_files_through_a_link_but_not_directories)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "12345");
    ASSERT_EQ(::symlink("f", (dir / "l").c_str()), 0);
    auto f = platform::lookUpFile(dir / "l");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size, 5);
    EXPECT_EQ(f->name, "l");
    EXPECT_FALSE(platform::lookUpFile(dir.path()));
    EXPECT_FALSE(platform::lookUpFile(dir / "missing"));
    EXPECT_FALSE(platform::lookUpFile(""));
}

TEST(ListSubdirectories, lists_directories_and_links_to_them_but_nothing_else)
{
    TempDir dir;
    testing_support::makeDir(dir / "b");
    testing_support::makeDir(dir / ".hidden");
    testing_support::writeFile(dir / "a/inner/f", "x");
    testing_support::writeFile(dir / "file", "x");
    ASSERT_EQ(::symlink("b", (dir / "to_b").c_str()), 0);
    ASSERT_EQ(::symlink("file", (dir / "to_file").c_str()), 0);
    ASSERT_EQ(::symlink("gone", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    auto listing = platform::listSubdirectories(dir.path());
    EXPECT_EQ(listing.error, 0);
    EXPECT_EQ(sorted(listing.names), (std::vector<std::string>{".hidden", "a", "b", "to_b"}));
}

TEST(ListSubdirectories, a_failure_comes_back_with_its_errno)
{
    TempDir dir;
    testing_support::writeFile(dir / "file", "x");
    auto missing = platform::listSubdirectories(dir / "missing");
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_TRUE(missing.names.empty());
    EXPECT_EQ(platform::listSubdirectories(dir / "file").error, ENOTDIR);
    EXPECT_EQ(platform::PathLooks(std::chrono::seconds(5)).listSubdirectories(dir / "missing").error, ENOENT);
    EXPECT_EQ(platform::listSubdirectories("").error, 0); // the root
}

class ListSubdirectoriesOnFaultFs : public ::testing::Test, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }
};

TEST_F(ListSubdirectoriesOnFaultFs, a_directory_that_does_not_answer_is_given_up_after_the_bound)
{
    mount("slow/ list-stall 60\nslow/sub/x 10\nfast/sub/x 10\nbad/ list-eio\nbad/sub/x 10\n");
    platform::PathLooks within(std::chrono::milliseconds(200));
    platform::PathLooks patient(std::chrono::seconds(5));
    auto given = within.listSubdirectories(at("slow"));
    EXPECT_EQ(given.error, ETIMEDOUT);
    EXPECT_TRUE(given.names.empty());
    auto fast = patient.listSubdirectories(at("fast"));
    EXPECT_EQ(fast.error, 0);
    EXPECT_EQ(fast.names, std::vector<std::string>{"sub"});
    EXPECT_EQ(patient.listSubdirectories(at("bad")).error, EIO);
}
