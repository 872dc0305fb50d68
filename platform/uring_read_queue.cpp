#include "platform/read_queue.h"
#include "platform/unique_fd.h"

#include <liburing.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <limits>
#include <thread>

namespace platform {

namespace {

constexpr std::uint64_t kWakeTag = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kCancelTag = kWakeTag - 1;

class UringReadQueue final : public ReadQueue {
public:
    // Null where io_uring cannot be had: disabled (io_uring_disabled), or refused by a
    // seccomp filter (EPERM, ENOSYS).
    static std::unique_ptr<UringReadQueue> create(unsigned depth)
    {
        std::unique_ptr<UringReadQueue> queue(new UringReadQueue(UniqueFd(::eventfd(0, EFD_CLOEXEC))));
        // Room for every request in flight and the wake-up; completions get twice that.
        if (!queue->wakeFd_ || ::io_uring_queue_init(depth + 1, &queue->ring_, 0) < 0)
            return nullptr;
        queue->ready_ = true;
        // Direct reads that cannot start at once (an extent not cached yet: every small file
        // just opened) go to the kernel's workers, by default no more than 4 per CPU; let
        // every request in flight have one. Older kernels keep their limit.
        unsigned workers[2] = {depth, 0};
        ::io_uring_register_iowq_max_workers(&queue->ring_, workers);
        return queue;
    }
    ~UringReadQueue() override
    {
        if (ready_)
            ::io_uring_queue_exit(&ring_);
    }
    UringReadQueue(const UringReadQueue&) = delete;
    UringReadQueue& operator=(const UringReadQueue&) = delete;

    void submit(int fd, void* buffer, std::size_t length, std::int64_t offset, std::uint64_t tag) override
    {
        io_uring_sqe* sqe = sqe_();
        ::io_uring_prep_read(sqe, fd, buffer, static_cast<unsigned>(length), static_cast<__u64>(offset));
        ::io_uring_sqe_set_data64(sqe, tag);
    }

    void wait(std::vector<ReadDone>& done, std::chrono::milliseconds timeout) override
    {
        if (!wakeArmed_) {
            // The wake-up is a read of the eventfd that completes when another thread writes it.
            io_uring_sqe* sqe = sqe_();
            ::io_uring_prep_read(sqe, wakeFd_.get(), &wakeCount_, sizeof wakeCount_, 0);
            ::io_uring_sqe_set_data64(sqe, kWakeTag);
            wakeArmed_ = true;
        }
        // Results taken in early, to make room for submissions, need no waiting.
        done.insert(done.end(), early_.begin(), early_.end());
        bool tookEarly = !early_.empty();
        early_.clear();
        sendAndTake(done, tookEarly ? std::chrono::milliseconds(0) : timeout);
    }

    void wake() override
    {
        std::uint64_t one = 1;
        while (::write(wakeFd_.get(), &one, sizeof one) < 0 && errno == EINTR) {}
    }

    // A read not begun yet is cancelled; one under way may be interrupted, or else runs on in
    // a kernel worker while the others go on.
    void forget(std::uint64_t tag) override
    {
        io_uring_sqe* sqe = sqe_();
        ::io_uring_prep_cancel64(sqe, tag, 0);
        ::io_uring_sqe_set_data64(sqe, kCancelTag);
    }

    bool usesIoUring() const override { return true; }

private:
    explicit UringReadQueue(UniqueFd wakeFd) : wakeFd_(std::move(wakeFd)) {}

    // Sends what was submitted, waits for a first result up to timeout, and takes in every
    // result there is. A timeout or an interruption returns with whatever has come, perhaps
    // nothing; a refusal of the kernel (EBUSY: its completion queue overflows, EAGAIN: it is
    // short of memory) leaves the requests in the ring for the next call, after a pause that
    // keeps a lasting refusal from spinning.
    void sendAndTake(std::vector<ReadDone>& done, std::chrono::milliseconds timeout)
    {
        __kernel_timespec limit{};
        limit.tv_sec = timeout.count() / 1000;
        limit.tv_nsec = (timeout.count() % 1000) * 1000000;
        io_uring_cqe* first = nullptr;
        int sent = ::io_uring_submit_and_wait_timeout(&ring_, &first, 1, &limit, nullptr);
        io_uring_cqe* cqe = nullptr;
        unsigned head = 0;
        unsigned seen = 0;
        io_uring_for_each_cqe(&ring_, head, cqe)
        {
            ++seen;
            std::uint64_t tag = ::io_uring_cqe_get_data64(cqe);
            if (tag == kWakeTag)
                wakeArmed_ = false;
            else if (tag != kCancelTag)
                done.push_back({tag, cqe->res});
        }
        ::io_uring_cq_advance(&ring_, seen);
        if (sent < 0 && sent != -ETIME && sent != -EINTR && seen == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    io_uring_sqe* sqe_()
    {
        io_uring_sqe* sqe = ::io_uring_get_sqe(&ring_);
        while (sqe == nullptr) { // full: send what is there to make room
            int sent = ::io_uring_submit(&ring_);
            if (sent < 0 && sent != -EINTR) {
                // The kernel takes nothing more until results are taken in: take them now
                // (waiting a little for one), and hand them out at the next wait.
                sendAndTake(early_, std::chrono::milliseconds(10));
            }
            sqe = ::io_uring_get_sqe(&ring_);
        }
        return sqe;
    }

    io_uring ring_{};
    bool ready_ = false;
    UniqueFd wakeFd_;
    std::uint64_t wakeCount_ = 0;
    bool wakeArmed_ = false;
    std::vector<ReadDone> early_; // taken in while making room, not yet handed out
};

} // namespace

std::unique_ptr<ReadQueue> makeUringReadQueue(unsigned depth)
{
    return UringReadQueue::create(depth);
}

std::unique_ptr<ReadQueue> makeReadQueue(unsigned depth, bool allowIoUring)
{
    if (allowIoUring) {
        if (auto queue = makeUringReadQueue(depth))
            return queue;
    }
    return makeThreadReadQueue(depth);
}

} // namespace platform

#if defined(__SANITIZE_THREAD__)
// liburing maps its rings with system calls of its own that ThreadSanitizer does not see, so
// a ring mapped where an earlier one was unmapped looks like memory that the threads of the
// two rings share. Only the thread that owns a queue ever touches its ring.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:uring_read_queue.cpp\n"
           "race:liburing.h\n";
}
#endif
