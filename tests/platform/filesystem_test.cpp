#include "platform/filesystem.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using testing_support::TempDir;

TEST(Filesystem, existence_tests_tell_files_from_directories)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "x");
    ASSERT_EQ(::mkfifo((dir / "p").c_str(), 0600), 0);
    EXPECT_TRUE(platform::fileExists(dir / "f"));
    EXPECT_FALSE(platform::fileExists(dir.path()));
    EXPECT_FALSE(platform::fileExists(dir / "p"));
    EXPECT_FALSE(platform::fileExists(""));
    EXPECT_TRUE(platform::directoryExists(dir.path()));
    EXPECT_TRUE(platform::directoryExists(dir.path() + "//"));
    EXPECT_FALSE(platform::directoryExists(dir / "f"));
    EXPECT_FALSE(platform::directoryExists(""));
}

TEST(Filesystem, a_name_is_taken_by_anything_also_a_dangling_link)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "x");
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(platform::lookUpName(dir / "f").taken);
    EXPECT_TRUE(platform::lookUpName(dir.path()).taken);
    auto dangling = platform::lookUpName(dir / "dangling");
    EXPECT_TRUE(dangling.taken);
    EXPECT_EQ(dangling.error, 0);
    auto free = platform::lookUpName(dir / "gone");
    EXPECT_FALSE(free.taken);
    EXPECT_EQ(free.error, ENOENT);
    EXPECT_EQ(platform::lookUpName(dir / "f/under").error, ENOTDIR);
    EXPECT_EQ(platform::lookUpName("").error, ENOENT);
}

TEST(Filesystem, components_resolve_without_regard_to_ascii_case)
{
    TempDir dir;
    testing_support::writeFile(dir / "DARadid/Produkty/Seznam.txt", "x");
    EXPECT_EQ(platform::resolveIgnoringCase(dir.path(), "daradid/PRODUKTY/seznam.TXT"),
              dir / "DARadid/Produkty/Seznam.txt");
    EXPECT_EQ(platform::resolveIgnoringCase(dir.path(), "Pelun.PSK"), std::nullopt);
    testing_support::writeFile(dir / "pelun.psk", "x");
    EXPECT_EQ(platform::resolveIgnoringCase(dir.path(), "Pelun.PSK"), dir / "pelun.psk");
    EXPECT_EQ(platform::resolveIgnoringCase(dir.path(), "daradid/missing"), std::nullopt);
}

TEST(Filesystem, make_directories_creates_parents_and_accepts_existing_ones)
{
    TempDir dir;
    EXPECT_TRUE(platform::makeDirectories(dir / "a/b/c"));
    EXPECT_TRUE(platform::directoryExists(dir / "a/b/c"));
    EXPECT_TRUE(platform::makeDirectories(dir / "a/b/c"));
    testing_support::writeFile(dir / "file", "x");
    EXPECT_FALSE(platform::makeDirectories(dir / "file/sub"));
}

TEST(Filesystem, working_directory_can_be_read_and_set)
{
    TempDir dir;
    std::string before = platform::currentDirectory();
    ASSERT_TRUE(platform::setCurrentDirectory(dir.path()));
    char real[4096];
    ASSERT_NE(::realpath(dir.path().c_str(), real), nullptr);
    EXPECT_EQ(platform::currentDirectory(), real);
    EXPECT_FALSE(platform::setCurrentDirectory(dir / "missing"));
    EXPECT_FALSE(platform::setCurrentDirectory(""));
    ASSERT_TRUE(platform::setCurrentDirectory(before));
}
