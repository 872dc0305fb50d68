#include "platform/file_reader.h"

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::OpenResult;
using platform::ReadFile;
using platform::ReadPattern;
using testing_support::TempDir;

TEST(ReadFile, refuses_links_fifos_and_directories_without_blocking)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "x");
    ASSERT_EQ(::symlink("f", (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ReadFile file;
    // Each refusal keeps its own reason, whatever the close of the refused file did to errno.
    EXPECT_EQ(file.open(dir / "link", ReadPattern::WholeFile), OpenResult::Failed);
    EXPECT_EQ(file.openError(), ELOOP);
    EXPECT_EQ(file.open(dir / "link", ReadPattern::WholeFile, true), OpenResult::Opened);
    EXPECT_EQ(file.openError(), 0);
    EXPECT_EQ(file.open(dir / "fifo", ReadPattern::FirstBytes), OpenResult::NotRegular);
    EXPECT_EQ(file.openError(), EINVAL);
    EXPECT_EQ(file.open(dir.path(), ReadPattern::WholeFile), OpenResult::NotRegular);
    EXPECT_EQ(file.openError(), EISDIR);
    EXPECT_EQ(file.open(dir / "missing", ReadPattern::WholeFile), OpenResult::Failed);
    EXPECT_EQ(file.openError(), ENOENT);
    EXPECT_FALSE(file.isOpen());
}

TEST(ReadFile, refuses_a_file_that_another_process_writes)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "data");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::open((dir / "f").c_str(), O_WRONLY);
        char c = 'x';
        (void)!::write(pipeFds[1], &c, 1);
        ::sleep(5);
        ::close(fd);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(pipeFds[0], &c, 1), 1);
    ReadFile file;
    OpenResult held = file.open(dir / "f", ReadPattern::WholeFile);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    EXPECT_EQ(held, OpenResult::HeldByWriter);
    EXPECT_EQ(file.openError(), EBUSY) << "not the EAGAIN of the probe";
    EXPECT_EQ(file.open(dir / "f", ReadPattern::WholeFile), OpenResult::Opened);
}

TEST(ReadFile, opens_relative_to_a_directory_and_knows_the_size_it_had)
{
    TempDir dir;
    testing_support::writeFileOfSize(dir / "sub/f", 200001);
    ASSERT_EQ(::symlink("f", (dir / "sub/link").c_str()), 0);
    int dirfd = ::open((dir / "sub").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dirfd, 0);
    ReadFile file;
    EXPECT_EQ(file.openAt(dirfd, "link", ReadPattern::WholeFile), OpenResult::Failed);
    ASSERT_EQ(file.openAt(dirfd, "f", ReadPattern::WholeFile), OpenResult::Opened);
    ::close(dirfd);
    EXPECT_EQ(file.sizeAtOpen(), 200001);
    EXPECT_TRUE(file.fromMedium()); // tmpfs takes direct reads
}

// Queued reads of a descriptor left non-blocking are refused with EAGAIN, and clearing that
// flag must not drop the others the open set.
TEST(ReadFile, a_file_opened_for_reading_blocks_and_keeps_its_access_time_and_direct_flags)
{
    TempDir dir;
    testing_support::writeFileOfSize(dir / "f", 8192);
    ReadFile file;
    ASSERT_EQ(file.open(dir / "f", ReadPattern::WholeFile), OpenResult::Opened);
    int flags = ::fcntl(file.fd(), F_GETFL);
    EXPECT_EQ(flags & O_NONBLOCK, 0);
    EXPECT_NE(flags & O_NOATIME, 0) << "the owner may leave the access time alone";
    EXPECT_EQ((flags & O_DIRECT) != 0, file.fromMedium());
    if (::geteuid() != 0)
        return;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod((dir / "f").c_str(), 0644), 0);
    pid_t child = ::fork();
    if (child == 0) { // not the owner: opened without O_NOATIME, and still blocking
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        ReadFile other;
        if (other.open(dir / "f", ReadPattern::WholeFile) != OpenResult::Opened)
            ::_exit(4);
        int got = ::fcntl(other.fd(), F_GETFL);
        ::_exit((got & (O_NONBLOCK | O_NOATIME)) == 0 ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ReadFile, opens_for_cached_reads_where_the_filesystem_refuses_direct_ones)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    ASSERT_EQ(::mount("none", dir.path().c_str(), "ramfs", 0, nullptr), 0);
    testing_support::writeFileOfSize(dir / "f", 70000);
    {
        ReadFile file;
        ASSERT_EQ(file.open(dir / "f", ReadPattern::WholeFile), OpenResult::Opened);
        EXPECT_FALSE(file.fromMedium());
        EXPECT_EQ(file.sizeAtOpen(), 70000);
        EXPECT_TRUE(file.stopDirectReads()); // already cached: nothing to switch
        file.writeBackAndDropCache();
    }
    ::umount2(dir.path().c_str(), MNT_DETACH);
}
