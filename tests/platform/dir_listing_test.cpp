#include "platform/dir_listing.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <fcntl.h>
#include <map>

using testing_support::TempDir;

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
