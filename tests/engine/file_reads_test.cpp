// The reader below the engine: exact event sequences on real files, flow control against a
// slow engine, drops and stalls, on both the io_uring path and the reader threads.
#include "engine/file_reads.h"
#include "engine/hash_algorithms.h"

#include "faultfs_mount.h"
#include "file_reads_fixture.h"
#include "tests/support/temp_dir.h"

#include "child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cstddef>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using engine::FileReads;
using reads_testing::FileReadsTest;
using testing_support::FaultFsMount;
using testing_support::TempDir;

namespace {

std::string units(int count, const std::string& tail = "")
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? " " : "") + std::string("65536");
    return tail.empty() ? text : text.empty() ? tail : text + " " + tail;
}

TEST_P(FileReadsTest, posts_each_file_in_64k_units_up_to_its_listed_size)
{
    TempDir dir;
    struct Case {
        std::int64_t actual, listed;
        bool quick;
        std::string expected;
    };
    const std::vector<Case> cases{
        {0, 0, false, "0"},
        {1, 1, false, "1"},
        {65535, 65535, false, "65535"},
        {65536, 65536, false, "65536"},
        {65537, 65537, false, "65536 1"},
        {3 * 1048576 + 5, 3 * 1048576 + 5, false, units(48, "5")},
        {70000, 0, false, "65536"},             // listed as empty, holds data now
        {5000, 1000, false, "1000"},            // grew: read up to the listed size only
        {100000, 200000, false, "65536 34464"}, // shrank: the unit where it ended
        {0, 65536, false, "0"},
        {0, 0, true, "0"},
        {1, 1, true, "1"},
        {2, 2, true, "2"},
        {200000, 200000, true, "2"},
    };
    auto reads = start();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string path = dir / ("f" + std::to_string(i));
        testing_support::writeFileOfSize(path, cases[i].actual);
        ASSERT_TRUE(add(*reads, path, cases[i].listed, cases[i].quick));
    }
    ASSERT_TRUE(recorder_.waitForAll());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(recorder_.result(i + 1), cases[i].expected) << "case " << i;
    EXPECT_EQ(reads->bytesNotFromMedium(), 0); // tmpfs takes direct reads
}

TEST_P(FileReadsTest, stays_a_bounded_distance_ahead_of_the_engine)
{
    TempDir dir;
    testing_support::writeFileOfSize(dir / "big", 32 << 20);
    recorder_.holdChunks(true);
    auto reads = start();
    ASSERT_TRUE(add(*reads, dir / "big", 32 << 20));
    ASSERT_TRUE(recorder_.waitForEvents(1, 1, 5s));
    std::this_thread::sleep_for(300ms);
    std::size_t ahead = recorder_.eventCount(1);
    EXPECT_LE(ahead, 192U) << "12 MiB ahead at most";
    // Taking what came lets the rest come, up to the end.
    std::size_t taken = 0;
    while (taken < 512 && recorder_.waitForEvents(1, taken + 1, 5s)) {
        for (std::size_t n = recorder_.eventCount(1); taken < n; ++taken)
            reads->consumed(1);
    }
    EXPECT_EQ(recorder_.result(1), units(512));
}

// While hashing, the buffers of a file wait for its hashing thread, not for the engine: a
// file is read on however far the engine lags, and the next one beside it, so that two
// files are hashed side by side. That holds on media read one file after another too, once
// the first file's hashing, not the medium, is what holds the read back (here: memory).
TEST_P(FileReadsTest, while_hashing_files_are_read_far_ahead_and_the_next_beside_the_first)
{
    TempDir dir("/dev/shm");
    constexpr std::int64_t size = 40 << 20;
    testing_support::writeFileOfSize(dir / "a", size);
    testing_support::writeFileOfSize(dir / "b", size);
    for (bool inOrder : {false, true}) {
        SCOPED_TRACE(inOrder ? "read in order" : "read in any order");
        reads_testing::ReadRecorder recorder;
        recorder.holdChunks(true); // an engine that takes nothing
        platform::ReadProfile p = profile();
        p.inOrder = inOrder;
        p.fileDepth = inOrder ? 4 : p.fileDepth;
        // Every algorithm at once: hashing is slower than memory, whatever instruments the reader.
        const engine::HashSet all = engine::bitOf(engine::HashAlgorithm::Md5) |
            engine::bitOf(engine::HashAlgorithm::Sha1) | engine::bitOf(engine::HashAlgorithm::Sha256) |
            engine::bitOf(engine::HashAlgorithm::Sha512);
        auto reads = std::make_unique<FileReads>(recorder.poster(), p, 1.0, all);
        recorder.attach(*reads);
        ASSERT_TRUE(addTo(recorder, *reads, 1, dir / "a", size));
        ASSERT_TRUE(addTo(recorder, *reads, 2, dir / "b", size));
        const std::size_t unitsOfEach = size / engine::kChunkSize;
        EXPECT_TRUE(recorder.waitForEvents(1, unitsOfEach + 1, 20s));
        EXPECT_TRUE(recorder.waitForEvents(2, unitsOfEach + 1, 20s));
        EXPECT_EQ(recorder.result(1), units(unitsOfEach, "hashed " + std::to_string(size)));
        EXPECT_EQ(recorder.result(2), units(unitsOfEach, "hashed " + std::to_string(size)));
        auto order = recorder.jobsInOrder();
        auto firstOfB = std::find(order.begin(), order.end(), 2u);
        auto ofABefore = std::count(order.begin(), firstOfB, 1u);
        EXPECT_LT(ofABefore, std::count(order.begin(), order.end(), 1u) * 3 / 4)
            << "the second file waited for nearly all of the first one";
    }
}

TEST_P(FileReadsTest, a_job_given_up_gets_no_more_events)
{
    TempDir dir;
    testing_support::writeFileOfSize(dir / "big", 64 << 20);
    testing_support::writeFileOfSize(dir / "small", 100);
    recorder_.holdChunks(true);
    auto reads = start();
    ASSERT_TRUE(add(*reads, dir / "big", 64 << 20));
    ASSERT_TRUE(recorder_.waitForEvents(1, 1, 5s));
    reads->drop(1);
    std::size_t seen = recorder_.eventCount(1);
    for (std::size_t i = 0; i < seen; ++i)
        reads->consumed(1);
    recorder_.holdChunks(false);
    ASSERT_TRUE(add(*reads, dir / "small", 100));
    ASSERT_TRUE(recorder_.waitForEvents(2, 1, 5s));
    EXPECT_EQ(recorder_.result(2), "100");
    std::this_thread::sleep_for(100ms);
    // Reads already under way may still come; nothing is asked for after the drop.
    EXPECT_LE(recorder_.eventCount(1), 192U);
}

// The receiver of the events may be owned only through the post under way: the walk that
// reads is let go by a stop while a stalled read comes back. The reader then ends from within
// its own post, on its own thread, and must not wait there for itself.
TEST_P(FileReadsTest, a_reader_let_go_from_within_its_own_post_ends_there)
{
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool posting = false;
        bool letGo = false;
        std::atomic<bool> ended{false};
    };
    auto state = std::make_shared<State>();
    struct Owner {
        std::shared_ptr<State> state;
        std::unique_ptr<FileReads> reads;
        ~Owner()
        {
            reads.reset();
            state->ended = true;
        }
    };
    auto owner = std::make_shared<Owner>();
    owner->state = state;
    std::weak_ptr<Owner> weak = owner;
    owner->reads = std::make_unique<FileReads>(
        [weak, state](std::uint64_t, const engine::ReadEvent&) {
            auto held = weak.lock();
            if (!held)
                return false;
            std::unique_lock lock(state->mutex);
            state->posting = true;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return state->letGo; });
            return true; // held was the last owner: the reader goes when it does
        },
        profile());
    TempDir dir;
    testing_support::writeFileOfSize(dir / "f", 100);
    ASSERT_TRUE(add(*owner->reads, dir / "f", 100));
    {
        std::unique_lock lock(state->mutex);
        ASSERT_TRUE(state->changed.wait_for(lock, 5s, [&] { return state->posting; }));
    }
    owner.reset();
    {
        std::lock_guard lock(state->mutex);
        state->letGo = true;
        state->changed.notify_all();
    }
    for (int i = 0; i < 500 && !state->ended; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(state->ended) << "the reader waited for itself";
}

class FileReadsOnFaultyMedia : public FileReadsTest, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        std::string reason = FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }
};

TEST_P(FileReadsOnFaultyMedia, a_failed_read_comes_after_the_units_read_in_full_before_it)
{
    mount("mid 200000 eio-at 70000\n"
          "first 5000 eio-at 0\n"
          "deep 3M eio-at 2500000\n"
          "short 200000 short 100000\n"
          "ok 70000\n");
    auto reads = start();
    ASSERT_TRUE(add(*reads, at("mid"), 200000));
    ASSERT_TRUE(add(*reads, at("first"), 5000));
    ASSERT_TRUE(add(*reads, at("deep"), 3 << 20));
    ASSERT_TRUE(add(*reads, at("short"), 200000));
    ASSERT_TRUE(add(*reads, at("ok"), 70000));
    ASSERT_TRUE(add(*reads, at("first"), 5000, true));
    ASSERT_TRUE(add(*reads, at("mid"), 200000, true));
    ASSERT_TRUE(recorder_.waitForAll());
    EXPECT_EQ(recorder_.result(1), "65536 fail 5@70000");
    EXPECT_EQ(recorder_.result(2), "fail 5@0");
    EXPECT_EQ(recorder_.result(3), units(38, "fail 5@2500000"));
    EXPECT_EQ(recorder_.result(4), "65536 34464");
    EXPECT_EQ(recorder_.result(5), "65536 4464");
    EXPECT_EQ(recorder_.result(6), "fail 5@0");
    EXPECT_EQ(recorder_.result(7), "2");
}

TEST_P(FileReadsOnFaultyMedia, a_stalled_read_holds_up_neither_other_files_nor_the_end)
{
    mount("stuck 1M stall 0 30\n"
          "ok 70000\n");
    auto start0 = std::chrono::steady_clock::now();
    {
        auto reads = start();
        ASSERT_TRUE(add(*reads, at("stuck"), 1 << 20));
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(reads->busy());
        reads->drop(1);
        ASSERT_TRUE(add(*reads, at("ok"), 70000));
        recorder_.expect(1, 0, true); // given up: not awaited
        ASSERT_TRUE(recorder_.waitForEvents(2, 2, 10s));
        EXPECT_EQ(recorder_.result(2), "65536 4464");
        reads->dropAll();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start0, 10s);
    EXPECT_EQ(recorder_.result(1), "");
}

TEST_P(FileReadsOnFaultyMedia, on_rotating_media_a_file_is_asked_for_whole_before_the_next)
{
    mount("big 256K stall 0 3\n"
          "small 4096\n");
    platform::ReadProfile rotating = profile();
    rotating.inOrder = true;
    rotating.depth = 16;
    rotating.fileDepth = 2;
    rotating.requestSize = 64 << 10;
    auto reads = start(rotating);
    ASSERT_TRUE(add(*reads, at("big"), 256 << 10));
    ASSERT_TRUE(add(*reads, at("small"), 4096));
    std::this_thread::sleep_for(1s); // the first request of big still stalls
    EXPECT_EQ(recorder_.result(2), "");
    ASSERT_TRUE(recorder_.waitForAll());
    EXPECT_EQ(recorder_.result(1), "slow@0 " + units(4));
    EXPECT_EQ(recorder_.result(2), "4096");
}

// A medium slower than a core hashes never fills a file's share of the buffers: while
// hashing, it is still read one file after another.
TEST_P(FileReadsOnFaultyMedia, while_hashing_a_medium_the_hashing_keeps_up_with_is_read_file_after_file)
{
    mount("a 40M\nb 40M\n", "mnt", {"--read-delay", "40"});
    platform::ReadProfile rotating = profile();
    rotating.inOrder = true;
    rotating.fileDepth = 4;
    recorder_.holdChunks(true); // an engine that takes nothing
    auto reads =
        std::make_unique<FileReads>(recorder_.poster(), rotating, 1.0, engine::bitOf(engine::HashAlgorithm::Sha256));
    recorder_.attach(*reads);
    ASSERT_TRUE(add(*reads, at("a"), 40 << 20));
    ASSERT_TRUE(add(*reads, at("b"), 40 << 20));
    ASSERT_TRUE(recorder_.waitForEvents(2, 641, 60s));
    EXPECT_EQ(recorder_.result(1), units(640, "hashed 41943040"));
    EXPECT_EQ(recorder_.result(2), units(640, "hashed 41943040"));
    // One event per request of a megabyte; the last few of a may still be under way when b
    // begins, as on any medium read in order.
    auto order = recorder_.jobsInOrder();
    auto firstOfB = std::find(order.begin(), order.end(), 2u);
    EXPECT_GE(std::count(order.begin(), firstOfB, 1u), 40 - rotating.fileDepth)
        << "the second file was read beside the first";
}

// As a container's seccomp filter does: io_uring_setup fails with ENOSYS.
bool refuseIoUring()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_io_uring_setup, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs only in the child process of the test below, where io_uring is refused.
TEST_P(FileReadsTest, DISABLED_reads_with_io_uring_refused)
{
    ASSERT_TRUE(refuseIoUring());
    TempDir dir;
    testing_support::writeFileOfSize(dir / "f", 70000);
    auto reads = start();
    ASSERT_TRUE(add(*reads, dir / "f", 70000));
    ASSERT_TRUE(recorder_.waitForAll());
    EXPECT_EQ(recorder_.result(1), "65536 4464");
}

TEST(FileReadsWithoutIoUring, falls_back_to_reader_threads_without_a_word)
{
    char self[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    auto r = testing_support::runProcess(
        {self, "--gtest_also_run_disabled_tests",
         "--gtest_filter=Paths/FileReadsTest.DISABLED_reads_with_io_uring_refused/io_uring"},
        std::chrono::seconds(30));
    EXPECT_EQ(r.exitCode, 0) << r.describe() << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Paths, FileReadsTest, ::testing::Values(true, false), reads_testing::pathName);
INSTANTIATE_TEST_SUITE_P(Paths, FileReadsOnFaultyMedia, ::testing::Values(true, false), reads_testing::pathName);

} // namespace
