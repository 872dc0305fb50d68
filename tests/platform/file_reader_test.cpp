#include "platform/file_reader.h"

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::OpenResult;
using platform::ReadFile;
using platform::ReadPattern;
using testing_support::TempDir;

TEST(ReadFile, reads_a_regular_file_in_full_and_reports_its_end)
{
    TempDir dir;
    testing_support::writeFileOfSize(dir / "f", 70000);
    ReadFile file;
    ASSERT_EQ(file.open(dir / "f", ReadPattern::WholeFile), OpenResult::Opened);
    std::vector<char> buffer(65536);
    EXPECT_EQ(file.read(buffer.data(), buffer.size()), 65536);
    EXPECT_EQ(file.read(buffer.data(), buffer.size()), 70000 - 65536);
    EXPECT_EQ(file.read(buffer.data(), buffer.size()), 0);
}

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

namespace {

std::string expectedContent(std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + i % 65536 % 26);
    return s;
}

std::string readInPieces(ReadFile& file, const std::vector<std::size_t>& pieces)
{
    std::string got;
    std::vector<char> buffer(1 << 20);
    for (std::size_t piece : pieces) {
        std::int64_t n = file.read(buffer.data(), piece);
        if (n <= 0)
            break;
        got.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return got;
}

} // namespace

TEST(ReadFile, opens_relative_to_a_directory_and_reads_unaligned_pieces_exactly)
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
    std::string got = readInPieces(file, {2, 65534, 65536, 1000, 100000, 100000});
    EXPECT_TRUE(got == expectedContent(200001)) << got.size();
}

TEST(ReadFile, reads_through_the_cache_where_the_filesystem_refuses_direct_reads)
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
        EXPECT_TRUE(readInPieces(file, {3, 69997}) == expectedContent(70000));
    }
    ::umount2(dir.path().c_str(), MNT_DETACH);
}
