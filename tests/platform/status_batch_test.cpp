#include "platform/status_batch.h"

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

using platform::StatusBatch;
using testing_support::TempDir;

namespace {

enum class Way { Together, WithoutIoUring, OneByOne };

std::vector<StatusBatch::Status> query(int dirFd, const std::vector<std::string>& names, Way way)
{
    if (way == Way::WithoutIoUring)
        ::setenv("VORKAN_NO_IO_URING", "1", 1);
    StatusBatch batch(way == Way::OneByOne ? platform::StatusAsking::OneByOne : platform::StatusAsking::Together);
    ::unsetenv("VORKAN_NO_IO_URING");
    std::vector<StatusBatch::Status> statuses;
    batch.query(dirFd, names, STATX_TYPE | STATX_SIZE, statuses);
    return statuses;
}

} // namespace

TEST(StatusBatch, gives_each_name_its_own_status_in_batches_with_and_without_io_uring_or_one_by_one)
{
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) { // more than one batch
        names.push_back("f" + std::to_string(i));
        testing_support::writeFile(dir / names.back(), std::string(static_cast<std::size_t>(i), 'x'));
    }
    names.push_back("missing");
    testing_support::makeDir(dir / "sub");
    names.push_back("sub");
    ASSERT_EQ(::symlink("f1", (dir / "link").c_str()), 0);
    names.push_back("link");
    int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (Way way : {Way::Together, Way::WithoutIoUring, Way::OneByOne}) {
        auto statuses = query(fd, names, way);
        ASSERT_EQ(statuses.size(), names.size());
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(statuses[i].error, 0) << i;
            EXPECT_TRUE(S_ISREG(statuses[i].sx.stx_mode)) << i;
            EXPECT_EQ(statuses[i].sx.stx_size, static_cast<std::uint64_t>(i)) << i;
        }
        EXPECT_EQ(statuses[300].error, ENOENT);
        EXPECT_TRUE(S_ISDIR(statuses[301].sx.stx_mode));
        EXPECT_TRUE(S_ISLNK(statuses[302].sx.stx_mode)) << "a link is not followed";
    }
    ::close(fd);
}
