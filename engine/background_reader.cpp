#include "engine/background_reader.h"

#include "platform/file_reader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

namespace {

// How many chunks the reader may read ahead of the engine.
constexpr int kLookahead = 2;
// How long a new file waits for the reader to close the previous one before it takes a
// fresh thread instead.
constexpr auto kHandOverWait = std::chrono::milliseconds(200);
// Files of a few kilobytes take less time to read than a thread takes to fall asleep and be
// woken again; both sides therefore spin this long for the other before they sleep.
constexpr auto kSpin = std::chrono::microseconds(50);

template <typename Ready>
bool spinUntil(Ready ready)
{
    auto until = std::chrono::steady_clock::now() + kSpin;
    do {
        if (ready())
            return true;
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

} // namespace

class BackgroundReader::Worker {
public:
    explicit Worker(std::function<void()> wake) : wake_(std::move(wake)), buffer_(kChunkSize) {}

    static void run(const std::shared_ptr<Worker>& self) { self->loop(); }

    // Engine side -----------------------------------------------------------------------
    bool idle() const
    {
        std::lock_guard lock(mutex_);
        return !busy_;
    }

    bool waitUntilIdle(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return !busy_; });
    }

    void submit(ReadRequest request)
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(request);
        busy_ = true;
        cancelled_ = false;
        eventsTaken_ += events_.size();
        events_.clear();
        unconsumedChunks_ = 0;
        jobsSubmitted_.fetch_add(1, std::memory_order_release);
        changed_.notify_all();
    }

    // Spins briefly until an event is there; true when one is.
    bool spinForEvent() const
    {
        return spinUntil([&] { return eventsPosted_.load(std::memory_order_acquire) != eventsTaken_; });
    }

    std::optional<ReadEvent> poll()
    {
        std::lock_guard lock(mutex_);
        if (events_.empty())
            return std::nullopt;
        ReadEvent e = events_.front();
        events_.pop_front();
        ++eventsTaken_;
        if (e.kind == ReadEvent::Kind::Chunk) {
            --unconsumedChunks_;
            changed_.notify_all();
        }
        return e;
    }

    void cancel()
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        eventsTaken_ += events_.size();
        events_.clear();
        unconsumedChunks_ = 0;
        changed_.notify_all();
    }

    void retire()
    {
        std::lock_guard lock(mutex_);
        retired_ = true;
        cancelled_ = true;
        changed_.notify_all();
    }

private:
    // Reader side -----------------------------------------------------------------------
    void loop()
    {
        for (;;) {
            ReadRequest job;
            spinUntil([&] { return jobsSubmitted_.load(std::memory_order_acquire) != jobsTaken_; });
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return retired_ || (busy_ && job_); });
                if (retired_ && !(busy_ && job_))
                    return;
                job = std::move(*job_);
                job_.reset();
                jobsTaken_ = jobsSubmitted_.load(std::memory_order_acquire);
            }
            read(job);
            std::lock_guard lock(mutex_);
            busy_ = false;
            changed_.notify_all();
            if (retired_)
                return;
        }
    }

    void read(const ReadRequest& job)
    {
        platform::ReadFile file;
        auto pattern = job.quick ? platform::ReadPattern::FirstBytes : platform::ReadPattern::WholeFile;
        if (file.open(job.path, pattern, job.followLink) != platform::OpenResult::Opened) {
            post({ReadEvent::Kind::OpenFailed, 0});
            return;
        }
        if (job.quick) {
            readChunk(file, kQuickTestBytes);
            return;
        }
        if (job.listedSize <= 0) {
            // A file listed as empty: one chunk tells whether it has grown since.
            readChunk(file, kChunkSize);
            return;
        }
        for (std::int64_t done = 0; done < job.listedSize;) {
            std::int64_t chunk = std::min(kChunkSize, job.listedSize - done);
            if (!waitForRoom())
                return;
            std::int64_t got = readChunk(file, chunk);
            if (got != chunk)
                return;
            done += chunk;
        }
    }

    // Returns the bytes read, or -1 after a failure or cancellation.
    std::int64_t readChunk(platform::ReadFile& file, std::int64_t count)
    {
        std::int64_t got = file.read(buffer_.data(), static_cast<std::size_t>(count));
        if (got < 0) {
            post({ReadEvent::Kind::ReadFailed, 0});
            return -1;
        }
        return post({ReadEvent::Kind::Chunk, got}) ? got : -1;
    }

    bool waitForRoom()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return cancelled_ || unconsumedChunks_ < kLookahead; });
        return !cancelled_;
    }

    bool post(ReadEvent e)
    {
        // Waking under the lock: once the engine has retired this worker, no wake can reach
        // a host that may be gone.
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return false;
        events_.push_back(e);
        if (e.kind == ReadEvent::Kind::Chunk)
            ++unconsumedChunks_;
        eventsPosted_.fetch_add(1, std::memory_order_release);
        wake_();
        return true;
    }

    std::function<void()> wake_;
    std::vector<char> buffer_; // the data read is not kept or looked at
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<ReadRequest> job_;
    std::deque<ReadEvent> events_;
    int unconsumedChunks_ = 0;
    bool busy_ = false;
    bool cancelled_ = false;
    bool retired_ = false;
    std::atomic<std::uint64_t> jobsSubmitted_{0};
    std::uint64_t jobsTaken_ = 0; // reader thread only
    std::atomic<std::uint64_t> eventsPosted_{0};
    std::uint64_t eventsTaken_ = 0; // under the mutex, read by the engine thread only
};

BackgroundReader::BackgroundReader(std::function<void()> wake) : wake_(std::move(wake)) {}

BackgroundReader::~BackgroundReader()
{
    if (worker_)
        worker_->retire();
}

void BackgroundReader::start(ReadRequest request)
{
    if (worker_ && !worker_->waitUntilIdle(kHandOverWait)) {
        // Still blocked in a read of a file given up: leave it that thread, take a new one.
        worker_->retire();
        worker_.reset();
    }
    if (!worker_) {
        worker_ = std::make_shared<Worker>(wake_);
        std::thread(Worker::run, worker_).detach();
    }
    worker_->submit(std::move(request));
}

std::optional<ReadEvent> BackgroundReader::poll()
{
    return worker_ ? worker_->poll() : std::nullopt;
}

bool BackgroundReader::spinForEvent() const
{
    return worker_ && worker_->spinForEvent();
}

bool BackgroundReader::busy() const
{
    return worker_ && !worker_->idle();
}

void BackgroundReader::finish()
{
    if (worker_)
        worker_->cancel();
}

} // namespace engine
