#include "platform/file_reader.h"
#include "platform/read_only_file.h"

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::ReadOnlyFile;
using testing_support::TempDir;

TEST(ReadOnlyFile, follows_a_link_but_refuses_fifos_and_directories_without_blocking)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "content");
    ASSERT_EQ(::symlink("f", (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ReadOnlyFile file;
    EXPECT_EQ(file.open(dir / "fifo"), ReadOnlyFile::Open::NotRegular);
    EXPECT_EQ(file.open(dir.path()), ReadOnlyFile::Open::NotRegular);
    EXPECT_EQ(file.open(dir / "missing"), ReadOnlyFile::Open::Failed);
    EXPECT_FALSE(file.isOpen());
    ASSERT_EQ(file.open(dir / "link"), ReadOnlyFile::Open::Opened);
    EXPECT_EQ(file.size(), 7);
    char text[16] = {};
    EXPECT_EQ(file.readAt(3, text, sizeof text), 4);
    EXPECT_STREQ(text, "tent");
    EXPECT_EQ(file.readAt(-1, text, 1), -1);
}

// Both kinds of file are opened by one set of rules: blocking reads once opened, and a read
// leaves the access time alone where the reader may ask for that.
TEST(ReadOnlyFile, reads_block_once_open_and_leave_the_access_time_alone)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "data");
    const struct timespec times[2] = {{1000, 0}, {0, UTIME_NOW}}; // accessed long before its change
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);
    {
        ReadOnlyFile file;
        ASSERT_EQ(file.open(dir / "f"), ReadOnlyFile::Open::Opened);
        char text[4];
        EXPECT_EQ(file.readAt(0, text, sizeof text), 4);
    }
    platform::ReadFile tested;
    ASSERT_EQ(tested.open(dir / "f", platform::ReadPattern::WholeFile), platform::OpenResult::Opened);
    EXPECT_EQ(::fcntl(tested.fd(), F_GETFL) & O_NONBLOCK, 0);
    alignas(platform::kSafeBlockSize) static char block[platform::kSafeBlockSize];
    EXPECT_EQ(::pread(tested.fd(), block, sizeof block, 0), 4); // a direct read takes whole blocks
    struct stat st {};
    ASSERT_EQ(::stat((dir / "f").c_str(), &st), 0);
    if (::geteuid() == 0 || st.st_uid == ::geteuid()) {
        EXPECT_EQ(st.st_atim.tv_sec, 1000);
    }
}
