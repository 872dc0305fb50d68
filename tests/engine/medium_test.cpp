// Reads must reach the medium: on an ext4 filesystem on a loop device, with every page of the
// files mapped and locked in memory by another process, the device itself must be read.
#include "file_reads_fixture.h"
#include "loop_device.h"
#include "tests/support/temp_dir.h"

#include "engine/hash_algorithms.h"
#include "platform/directory_warmer.h"
#include "platform/read_profile.h"
#include "platform/tree_walk.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <thread>

using reads_testing::FileReadsTest;
using reads_testing::LoopMount;
using reads_testing::PagesLockedByOtherProcess;
using testing_support::TempDir;

namespace {

class FromTheMedium : public FileReadsTest {
protected:
    void SetUp() override
    {
        loop_ = std::make_unique<LoopMount>(dir_.path(), 64);
        if (!loop_->reason().empty())
            GTEST_SKIP() << loop_->reason();
    }
    std::vector<std::string> makeFiles(const std::vector<std::int64_t>& sizes)
    {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            paths.push_back(loop_->path() + "/f" + std::to_string(i));
            testing_support::writeFileOfSize(paths.back(), sizes[i]);
        }
        ::sync();
        return paths;
    }

    TempDir dir_;
    std::unique_ptr<LoopMount> loop_;
};

TEST_P(FromTheMedium, the_complete_test_reads_every_byte_from_the_device_though_its_pages_are_locked)
{
    const std::vector<std::int64_t> sizes{16 << 20, 1, 100, 4096, 5000, 65536, 65537, 200000, 1 << 20, 3 << 20};
    std::vector<std::string> paths = makeFiles(sizes);
    PagesLockedByOtherProcess locked(paths);
    ASSERT_TRUE(locked.ready());
    std::int64_t before = loop_->sectorsRead();
    auto reads = start();
    for (std::size_t i = 0; i < paths.size(); ++i)
        ASSERT_TRUE(add(*reads, paths[i], sizes[i]));
    ASSERT_TRUE(recorder_.waitForAll());
    std::int64_t fromDevice = (loop_->sectorsRead() - before) * 512;
    EXPECT_GE(fromDevice, std::accumulate(sizes.begin(), sizes.end(), std::int64_t{0}));
    EXPECT_EQ(reads->bytesNotFromMedium(), 0);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::int64_t got = 0;
        for (const auto& e : recorder_.events(i + 1))
            got += e.bytes;
        EXPECT_EQ(got, sizes[i]) << paths[i];
    }
}

TEST_P(FromTheMedium, the_quick_test_reads_a_sector_of_every_file)
{
    std::vector<std::string> paths = makeFiles(std::vector<std::int64_t>(200, 4096));
    PagesLockedByOtherProcess locked(paths);
    ASSERT_TRUE(locked.ready());
    std::int64_t before = loop_->sectorsRead();
    auto reads = start();
    for (const std::string& path : paths)
        ASSERT_TRUE(add(*reads, path, 4096, true));
    ASSERT_TRUE(recorder_.waitForAll());
    EXPECT_GE(loop_->sectorsRead() - before, 200);
    EXPECT_EQ(recorder_.result(200), "2");
}

TEST_P(FileReadsTest, a_filesystem_without_direct_reads_is_read_through_the_cache_and_counted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    ASSERT_EQ(::mount("none", dir.path().c_str(), "ramfs", 0, nullptr), 0);
    testing_support::writeFileOfSize(dir / "a", 70000);
    testing_support::writeFileOfSize(dir / "b", 10);
    {
        auto reads = start();
        ASSERT_TRUE(add(*reads, dir / "a", 70000));
        ASSERT_TRUE(add(*reads, dir / "b", 10, true));
        ASSERT_TRUE(recorder_.waitForAll());
        EXPECT_EQ(recorder_.result(1), "65536 4464");
        EXPECT_EQ(recorder_.result(2), "2");
        EXPECT_EQ(reads->bytesNotFromMedium(), 70000 + 2);
    }
    ::umount2(dir.path().c_str(), MNT_DETACH);
}

// The digest of what the reader handed on, against that of the bytes the file holds: a
// size that ends inside a block, read past the cache (tmpfs) and, as root, through it (ramfs).
TEST_P(FileReadsTest, the_bytes_handed_on_are_the_files_bytes_whether_read_direct_or_cached)
{
    TempDir dir;
    std::string cachedDir = dir / "cached";
    ASSERT_EQ(::mkdir(cachedDir.c_str(), 0700), 0);
    bool cached = ::geteuid() == 0 && ::mount("none", cachedDir.c_str(), "ramfs", 0, nullptr) == 0;
    const std::int64_t size = 200001;
    std::vector<std::string> paths{dir / "direct"};
    if (cached)
        paths.push_back(cachedDir + "/f");
    {
        engine::FileReads reads(recorder_.poster(), profile(), 1.0, engine::bitOf(engine::HashAlgorithm::Md5));
        recorder_.attach(reads);
        for (const std::string& path : paths) {
            testing_support::writeFileOfSize(path, size);
            ASSERT_TRUE(add(reads, path, size));
        }
        for (std::uint64_t job = 1; job <= paths.size(); ++job) {
            ASSERT_TRUE(recorder_.waitForEvents(job, 5, std::chrono::seconds(20)));
            EXPECT_EQ(recorder_.result(job), "65536 65536 65536 3393 hashed 200001");
            std::string content = testing_support::readFile(paths[job - 1]);
            engine::MultiHasher expected(engine::bitOf(engine::HashAlgorithm::Md5));
            expected.update(content.data(), content.size());
            std::vector<engine::ReadEvent> events = recorder_.events(job);
            ASSERT_TRUE(events.back().digests);
            EXPECT_EQ(engine::toHex((*events.back().digests)[engine::HashAlgorithm::Md5]),
                      engine::toHex(expected.finish()[engine::HashAlgorithm::Md5]))
                << paths[job - 1];
        }
        EXPECT_EQ(reads.bytesNotFromMedium(), cached ? size : 0);
    }
    if (cached)
        ::umount2(cachedDir.c_str(), MNT_DETACH);
}

TEST(ReadProfile, rotating_media_read_one_file_after_another_solid_state_in_parallel)
{
    TempDir dir;
    LoopMount loop(dir.path(), 16);
    if (!loop.reason().empty())
        GTEST_SKIP() << loop.reason();
    loop.setRotational(false);
    platform::ReadProfile solid = platform::readProfileFor(loop.path());
    EXPECT_FALSE(solid.inOrder);
    EXPECT_GE(solid.depth, 8);
    EXPECT_EQ(solid.blockSize, 512U);
    loop.setRotational(true);
    platform::ReadProfile rotating = platform::readProfileFor(loop.path());
    EXPECT_TRUE(rotating.inOrder);
    EXPECT_LE(rotating.fileDepth, 4);
    EXPECT_GE(rotating.depth, 8); // many small files at once all the same
    EXPECT_EQ(platform::readProfileFor(dir / "missing").blockSize, platform::kSafeBlockSize);
}

// A counting walk goes from one directory to the next; each one read ahead is one the walk
// does not wait for. Every directory warmed must be found whole in the cache.
TEST(DirectoryWarmer, directories_read_ahead_are_walked_without_reading_the_medium)
{
    TempDir dir;
    LoopMount loop(dir.path(), 32);
    if (!loop.reason().empty())
        GTEST_SKIP() << loop.reason();
    std::vector<std::string> dirs;
    for (int d = 0; d < 24; ++d) {
        dirs.push_back(loop.path() + "/d" + std::to_string(d));
        for (int f = 0; f < 40; ++f)
            testing_support::writeFileOfSize(dirs.back() + "/f" + std::to_string(f), 100);
    }
    auto walk = [&] {
        platform::TreeWalker walker(loop.path());
        std::int64_t files = 0;
        while (auto e = walker.next())
            files += e->kind == platform::WalkEntry::Kind::File ? 1 : 0;
        return files;
    };
    auto settled = [&] { // the reads of the warmer's threads have come back
        std::int64_t last = -1;
        for (int i = 0; i < 100 && loop.sectorsRead() != last; ++i) {
            last = loop.sectorsRead();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return last;
    };
    ::sync();
    ASSERT_TRUE(loop.remount());
    std::int64_t before = loop.sectorsRead();
    EXPECT_EQ(walk(), 24 * 40);
    std::int64_t cold = loop.sectorsRead() - before;
    EXPECT_GT(cold, 0) << "a cold walk reads its directories and inodes";

    ASSERT_TRUE(loop.remount());
    struct stat root {};
    ASSERT_EQ(::stat(loop.path().c_str(), &root), 0);
    {
        platform::DirectoryWarmer warmer(root.st_dev, std::nullopt);
        dirs.push_back(loop.path() + "/lost+found");
        warmer.warmNext(dirs);
        before = settled();
    }
    EXPECT_EQ(walk(), 24 * 40);
    EXPECT_EQ(loop.sectorsRead() - before, 0) << "after a cold walk of " << cold << " sectors";
}

INSTANTIATE_TEST_SUITE_P(Paths, FromTheMedium, ::testing::Values(true, false), reads_testing::pathName);

} // namespace
