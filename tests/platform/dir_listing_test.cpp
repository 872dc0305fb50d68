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

namespace {

std::map<std::string, platform::DirEntry> listAll(const std::string& path, std::optional<unsigned long> device = std::nullopt)
{
    std::map<std::string, platform::DirEntry> out;
    platform::DirListing listing(device);
    for (bool ok = listing.first(path); ok; ok = listing.next())
        out[listing.entry().name] = listing.entry();
    return out;
}

} // namespace

TEST(DirListing, lists_files_and_directories_with_sizes_and_attributes)
{
    TempDir dir;
    testing_support::writeFile(dir / "a.txt", "hello");
    testing_support::writeFile(dir / ".hidden", "");
    testing_support::makeDir(dir / "sub");
    auto entries = listAll(dir.path());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries["a.txt"].size, 5);
    EXPECT_FALSE(entries["a.txt"].isDirectory());
    EXPECT_TRUE(entries["sub"].isDirectory());
    EXPECT_TRUE(entries[".hidden"].attributes & platform::kAttrHidden);
    EXPECT_EQ(entries[".hidden"].size, 0);
}

TEST(DirListing, never_reports_links_fifos_or_sockets)
{
    TempDir dir;
    testing_support::writeFile(dir / "real", "x");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir / "loop").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sock = dir / "sock";
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    std::copy(sock.begin(), sock.end(), addr.sun_path);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    auto entries = listAll(dir.path());
    ::close(s);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.begin()->first, "real");
}

TEST(DirListing, reports_full_64_bit_sizes_of_sparse_files)
{
    TempDir dir;
    int fd = ::open((dir / "big").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const off_t size = (5LL << 30) + 7;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    auto entries = listAll(dir.path());
    EXPECT_EQ(entries["big"].size, size);
}

TEST(DirListing, leaves_out_entries_of_another_device_and_fails_on_unlistable_paths)
{
    TempDir dir;
    testing_support::writeFile(dir / "f", "x");
    EXPECT_TRUE(listAll(dir.path(), 0xFFFFFFFFul).empty());
    platform::DirListing listing;
    EXPECT_FALSE(listing.first(dir / "missing"));
    EXPECT_FALSE(listing.first(dir / "f"));
    testing_support::makeDir(dir / "empty");
    EXPECT_FALSE(listing.first(dir / "empty"));
}

TEST(DirListing, empty_path_lists_the_root)
{
    auto entries = listAll("");
    EXPECT_TRUE(entries.count("etc") == 1 || entries.count("usr") == 1);
}

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
