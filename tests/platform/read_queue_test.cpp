// The read queues on their own: every request submitted gives exactly one result, however
// the ring is crowded by requests that were given up.
#include "platform/read_queue.h"
#include "platform/unique_fd.h"
#include "tests/support/descendant_memory.h"
#include "tests/support/temp_dir.h"

#include "child_process.h"
#include "faultfs_mount.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cstddef>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::ReadDone;
using testing_support::TempDir;

struct Aligned {
    void operator()(char* p) const { std::free(p); }
};

// Waits until every tag in wanted has its result, or 10 s have passed.
std::map<std::uint64_t, std::int64_t> resultsOf(platform::ReadQueue& queue, std::size_t wanted)
{
    std::map<std::uint64_t, std::int64_t> results;
    auto until = std::chrono::steady_clock::now() + 10s;
    while (results.size() < wanted && std::chrono::steady_clock::now() < until) {
        std::vector<ReadDone> done;
        queue.wait(done, 100ms);
        for (const ReadDone& d : done)
            EXPECT_TRUE(results.emplace(d.tag, d.result).second) << "a second result for " << d.tag;
    }
    return results;
}

class ReadQueueTest : public ::testing::TestWithParam<bool> {
protected:
    std::unique_ptr<platform::ReadQueue> make(unsigned depth)
    {
        return GetParam() ? platform::makeUringReadQueue(depth) : platform::makeThreadReadQueue(depth);
    }
    void many_requests_given_up_between_two_waits_still_give_each_result_once_body();
};

// Cancelling requests fills the ring faster than it is waited on; the completions that
// crowd the kernel's queue must be taken in, not waited for in a loop that never takes them.
TEST_P(ReadQueueTest, many_requests_given_up_between_two_waits_still_give_each_result_once)
{
    many_requests_given_up_between_two_waits_still_give_each_result_once_body();
}

void ReadQueueTest::many_requests_given_up_between_two_waits_still_give_each_result_once_body()
{
    TempDir dir;
    testing_support::writeFileOfSize(dir / "f", 1 << 20);
    platform::UniqueFd fd(::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    auto queue = make(2);
    ASSERT_NE(queue, nullptr);
    std::unique_ptr<char, Aligned> buffer(static_cast<char*>(std::aligned_alloc(4096, 64 * 4096)));
    constexpr std::uint64_t kRequests = 64;
    for (std::uint64_t tag = 1; tag <= kRequests; ++tag) {
        queue->submit(fd.get(), buffer.get() + (tag - 1) * 4096, 4096, static_cast<std::int64_t>(tag * 4096), tag);
        for (int again = 0; again < 4; ++again)
            queue->forget(tag);
        if (tag % 2 == 0) { // the pool serves as many as it has threads: room for the next two
            auto results = resultsOf(*queue, 2);
            ASSERT_EQ(results.size(), 2u) << "after " << tag;
            for (const auto& [done, result] : results) {
                EXPECT_TRUE(done == tag || done == tag - 1) << done;
                EXPECT_TRUE(result == 4096 || result == -ECANCELED || result == -EINTR) << result;
            }
        }
    }
}

// Older kernels refuse a submission with EBUSY while their completion queue overflows, until
// the results are taken in. Here every submission that does not also wait is refused so.
bool refuseSubmissionsThatDoNotWait()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_io_uring_enter, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // min_complete
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EBUSY & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs only in the child process of the test below.
TEST_P(ReadQueueTest, DISABLED_submissions_refused_until_results_are_taken)
{
    ASSERT_TRUE(refuseSubmissionsThatDoNotWait());
    many_requests_given_up_between_two_waits_still_give_each_result_once_body();
}

TEST(UringReadQueue, a_kernel_that_refuses_submissions_until_results_are_taken_gets_them_taken)
{
    char self[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    auto r = testing_support::runProcess(
        {self, "--gtest_also_run_disabled_tests",
         "--gtest_filter=Paths/ReadQueueTest.DISABLED_submissions_refused_until_results_are_taken/io_uring"},
        std::chrono::seconds(30));
    EXPECT_EQ(r.exitCode, 0) << r.describe() << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

// Every read of a dying medium may hang: each given up gets a thread in its place, but not
// without end.
TEST(ThreadReadQueue, reads_stuck_in_the_kernel_and_given_up_leave_a_bounded_number_of_threads)
{
    if (std::string reason = testing_support::FaultFsMount::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    TempDir dir;
    ::mkdir((dir / "mnt").c_str(), 0755);
    std::string tree;
    for (int i = 0; i < 24; ++i)
        tree += "f" + std::to_string(i) + " 4096 stall 0 2\n";
    testing_support::FaultFsMount fs(tree, dir / "mnt");
    std::vector<platform::UniqueFd> files;
    for (int i = 0; i < 24; ++i) {
        files.emplace_back(::open((dir / ("mnt/f" + std::to_string(i))).c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(files.back());
    }
    const int before = testing_support::threadsOfThisProcess();
    std::unique_ptr<char, Aligned> buffer(static_cast<char*>(std::aligned_alloc(4096, 24 * 4096)));
    {
        auto queue = platform::makeThreadReadQueue(2);
        for (std::uint64_t i = 0; i < 24; ++i) {
            queue->submit(files[i].get(), buffer.get() + i * 4096, 4096, 0, i + 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let a thread take it
            queue->forget(i + 1);
        }
        // The pool's two, eight in place of stuck ones, and a little room for threads a
        // sanitizer's runtime starts on its own (one a thread per read would far exceed).
        EXPECT_LE(testing_support::threadsOfThisProcess() - before, 2 + 8 + 2);
        // Every result still comes, the stuck ones when the medium lets them go.
        EXPECT_EQ(resultsOf(*queue, 24).size(), 24u);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadQueueTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "io_uring" : "threads"; });

} // namespace
