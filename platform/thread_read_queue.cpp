#include "platform/read_queue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

namespace {

constexpr std::size_t kMostStuckThreads = 8;

struct Request {
    int fd;
    void* buffer;
    std::size_t length;
    std::int64_t offset;
    std::uint64_t tag;
};

// Shared with the threads, which outlive the queue when a read of theirs never returns.
struct Pool {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable results;
    std::deque<Request> requests;
    std::vector<ReadDone> done;
    std::set<std::uint64_t> running;
    std::set<std::uint64_t> forgotten; // stuck and given up, each with a thread in its place
    unsigned threads = 0;
    unsigned idle = 0;
    unsigned allowed = 0; // threads that may run: the pool's size plus one per stuck thread
    bool woken = false;
    bool closing = false;
};

std::int64_t readOnce(const Request& r)
{
    ssize_t n = 0;
    do
        n = ::pread(r.fd, r.buffer, r.length, r.offset);
    while (n < 0 && errno == EINTR);
    return n < 0 ? -errno : n;
}

void serve(const std::shared_ptr<Pool>& pool)
{
    std::unique_lock lock(pool->mutex);
    for (;;) {
        ++pool->idle;
        pool->work.wait(lock, [&] { return pool->closing || !pool->requests.empty(); });
        --pool->idle;
        if (pool->closing)
            break;
        Request r = pool->requests.front();
        pool->requests.pop_front();
        pool->running.insert(r.tag);
        lock.unlock();
        std::int64_t result = readOnce(r);
        lock.lock();
        pool->running.erase(r.tag);
        if (pool->forgotten.erase(r.tag) != 0)
            --pool->allowed;
        pool->done.push_back({r.tag, result});
        pool->results.notify_all();
        if (pool->threads > pool->allowed)
            break; // one too many now that a stuck read came back
    }
    --pool->threads;
}

class ThreadReadQueue final : public ReadQueue {
public:
    explicit ThreadReadQueue(unsigned size) : pool_(std::make_shared<Pool>()) { pool_->allowed = size; }
    ~ThreadReadQueue() override
    {
        std::lock_guard lock(pool_->mutex);
        pool_->closing = true;
        pool_->work.notify_all();
    }
    ThreadReadQueue(const ThreadReadQueue&) = delete;
    ThreadReadQueue& operator=(const ThreadReadQueue&) = delete;

    void submit(int fd, void* buffer, std::size_t length, std::int64_t offset, std::uint64_t tag) override
    {
        std::lock_guard lock(pool_->mutex);
        pool_->requests.push_back({fd, buffer, length, offset, tag});
        addThreadIfNeeded();
        pool_->work.notify_one();
    }

    void wait(std::vector<ReadDone>& done, std::chrono::milliseconds timeout) override
    {
        std::unique_lock lock(pool_->mutex);
        pool_->results.wait_for(lock, timeout, [&] { return pool_->woken || !pool_->done.empty(); });
        pool_->woken = false;
        done.insert(done.end(), pool_->done.begin(), pool_->done.end());
        pool_->done.clear();
    }

    void wake() override
    {
        std::lock_guard lock(pool_->mutex);
        pool_->woken = true;
        pool_->results.notify_all();
    }

    void forget(std::uint64_t tag) override
    {
        std::lock_guard lock(pool_->mutex);
        auto queued = std::find_if(pool_->requests.begin(), pool_->requests.end(),
                                   [&](const Request& r) { return r.tag == tag; });
        if (queued != pool_->requests.end()) { // not begun: it need not be read at all
            pool_->requests.erase(queued);
            pool_->done.push_back({tag, -ECANCELED});
            pool_->results.notify_all();
        } else if (pool_->running.contains(tag) && !pool_->forgotten.contains(tag) &&
                   pool_->forgotten.size() < kMostStuckThreads) {
            // A thread stuck in the kernel must not hold up the other requests: another one
            // takes its place, up to a bound. Past it the medium answers nothing anyway, and
            // what comes next waits behind the stuck reads until a stop gives it up.
            pool_->forgotten.insert(tag);
            ++pool_->allowed;
            addThreadIfNeeded();
        }
    }

    bool usesIoUring() const override { return false; }

private:
    // Under the lock.
    void addThreadIfNeeded()
    {
        if (pool_->idle < pool_->requests.size() && pool_->threads < pool_->allowed) {
            ++pool_->threads;
            std::thread(serve, pool_).detach();
        }
    }

    std::shared_ptr<Pool> pool_;
};

} // namespace

std::unique_ptr<ReadQueue> makeThreadReadQueue(unsigned depth)
{
    constexpr unsigned kMostThreads = 8;
    return std::make_unique<ThreadReadQueue>(std::min(depth, kMostThreads));
}

} // namespace platform
