#include "platform/file_reader.h"

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
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
    EXPECT_EQ(file.open(dir / "link", ReadPattern::WholeFile), OpenResult::Failed);
    EXPECT_EQ(file.open(dir / "link", ReadPattern::WholeFile, true), OpenResult::Opened);
    EXPECT_EQ(file.open(dir / "fifo", ReadPattern::FirstBytes), OpenResult::NotRegular);
    EXPECT_EQ(file.open(dir.path(), ReadPattern::WholeFile), OpenResult::NotRegular);
    EXPECT_EQ(file.open(dir / "missing", ReadPattern::WholeFile), OpenResult::Failed);
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
    EXPECT_EQ(file.open(dir / "f", ReadPattern::WholeFile), OpenResult::Opened);
}
