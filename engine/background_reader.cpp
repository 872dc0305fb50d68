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

// How many chunks of one file the reader may read ahead of the engine.
constexpr int kChunksAhead = 2;
// A waiting engine is woken once this many events are there, or sooner when the reader has
// nothing more to do: waking it for every small file would cost more than reading it.
constexpr int kWakeBatch = 8;
// How long a new file waits for a thread whose read was given up before it takes a fresh one.
constexpr auto kHandOverWait = std::chrono::milliseconds(200);

struct JobState {
    BackgroundReader::Job id = 0;
    ReadRequest request;
    std::deque<ReadEvent> events;
    int unconsumedChunks = 0;
    bool started = false;
    bool dropped = false;
};

} // namespace

class BackgroundReader::Worker {
public:
    explicit Worker(std::function<void()> wake) : wake_(std::move(wake)), buffer_(kChunkSize) {}

    static void run(const std::shared_ptr<Worker>& self) { self->loop(); }

    // Engine side -----------------------------------------------------------------------
    void queue(Job id, ReadRequest request)
    {
        auto job = std::make_shared<JobState>();
        job->id = id;
        job->request = std::move(request);
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        changed_.notify_all();
    }

    std::optional<ReadEvent> poll(Job id)
    {
        std::lock_guard lock(mutex_);
        if (jobs_.empty() || jobs_.front()->id != id || jobs_.front()->events.empty())
            return std::nullopt;
        JobState& job = *jobs_.front();
        ReadEvent e = job.events.front();
        job.events.pop_front();
        --pendingEvents_;
        if (e.kind == ReadEvent::Kind::Chunk) {
            --job.unconsumedChunks;
            changed_.notify_all();
        }
        return e;
    }

    void finish(Job id)
    {
        std::lock_guard lock(mutex_);
        if (!jobs_.empty() && jobs_.front()->id == id) {
            jobs_.front()->dropped = true;
            pendingEvents_ -= static_cast<int>(jobs_.front()->events.size());
            jobs_.pop_front();
            changed_.notify_all();
        }
    }

    void dropAll()
    {
        std::lock_guard lock(mutex_);
        for (auto& job : jobs_)
            job->dropped = true;
        jobs_.clear();
        pendingEvents_ = 0;
        changed_.notify_all();
    }

    bool busy() const
    {
        std::lock_guard lock(mutex_);
        return reading_;
    }

    // The engine is about to sleep until woken; true when an event of job is there already,
    // in which case it must not sleep.
    bool prepareToSleep(Job id)
    {
        engineSleeping_.store(true);
        std::lock_guard lock(mutex_);
        return !jobs_.empty() && jobs_.front()->id == id && !jobs_.front()->events.empty();
    }

    // Nothing queued and nothing under way.
    bool waitUntilIdle(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return !reading_ && jobs_.empty(); });
    }

    bool hasQueuedJobs() const
    {
        std::lock_guard lock(mutex_);
        return !jobs_.empty();
    }

    void retire()
    {
        std::lock_guard lock(mutex_);
        retired_ = true;
        for (auto& job : jobs_)
            job->dropped = true;
        jobs_.clear();
        changed_.notify_all();
    }

private:
    // Reader side -----------------------------------------------------------------------
    std::shared_ptr<JobState> nextJob()
    {
        for (auto& job : jobs_) {
            if (!job->started)
                return job;
        }
        return nullptr;
    }

    void loop()
    {
        for (;;) {
            std::shared_ptr<JobState> job;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return retired_ || nextJob() != nullptr; });
                if (retired_)
                    return;
                job = nextJob();
                job->started = true;
                reading_ = true;
            }
            read(*job);
            std::lock_guard lock(mutex_);
            reading_ = false;
            changed_.notify_all();
        }
    }

    void read(JobState& job)
    {
        const ReadRequest& r = job.request;
        platform::ReadFile file;
        auto pattern = r.quick ? platform::ReadPattern::FirstBytes : platform::ReadPattern::WholeFile;
        if (file.open(r.path, pattern, r.followLink) != platform::OpenResult::Opened) {
            post(job, {ReadEvent::Kind::OpenFailed, 0});
            return;
        }
        if (r.quick) {
            readChunk(job, file, kQuickTestBytes);
            return;
        }
        if (r.listedSize <= 0) {
            // A file listed as empty: one chunk tells whether it has grown since.
            readChunk(job, file, kChunkSize);
            return;
        }
        for (std::int64_t done = 0; done < r.listedSize;) {
            std::int64_t chunk = std::min(kChunkSize, r.listedSize - done);
            if (!waitForRoom(job))
                return;
            if (readChunk(job, file, chunk) != chunk)
                return;
            done += chunk;
        }
    }

    // Returns the bytes read, or -1 after a failure or when the job was given up.
    std::int64_t readChunk(JobState& job, platform::ReadFile& file, std::int64_t count)
    {
        std::int64_t got = file.read(buffer_.data(), static_cast<std::size_t>(count));
        if (got < 0) {
            post(job, {ReadEvent::Kind::ReadFailed, 0});
            return -1;
        }
        return post(job, {ReadEvent::Kind::Chunk, got}) ? got : -1;
    }

    bool waitForRoom(JobState& job)
    {
        std::unique_lock lock(mutex_);
        if (job.unconsumedChunks >= kChunksAhead)
            wakeEngine(); // it must take chunks before more can come
        changed_.wait(lock, [&] { return job.dropped || job.unconsumedChunks < kChunksAhead; });
        return !job.dropped;
    }

    bool post(JobState& job, ReadEvent e)
    {
        // Waking under the lock: once the engine has retired this worker, no wake can reach
        // a host that may be gone.
        std::lock_guard lock(mutex_);
        if (job.dropped || retired_)
            return false;
        job.events.push_back(e);
        ++pendingEvents_;
        if (e.kind == ReadEvent::Kind::Chunk)
            ++job.unconsumedChunks;
        if (pendingEvents_ >= kWakeBatch || nextJob() == nullptr)
            wakeEngine();
        return true;
    }

    // Under the lock. A wake is a syscall and a sleeping thread woken: only when it waits.
    void wakeEngine()
    {
        if (engineSleeping_.exchange(false))
            wake_();
    }

    std::function<void()> wake_;
    std::vector<char> buffer_; // the data read is not kept or looked at
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<JobState>> jobs_; // queued and not finished, oldest first
    int pendingEvents_ = 0; // posted and not yet taken, all jobs together
    bool reading_ = false;
    bool retired_ = false;
    std::atomic<bool> engineSleeping_{false};
};

BackgroundReader::BackgroundReader(std::function<void()> wake) : wake_(std::move(wake)) {}

BackgroundReader::~BackgroundReader()
{
    if (worker_)
        worker_->retire();
}

BackgroundReader::Job BackgroundReader::queue(ReadRequest request)
{
    if (worker_ && !worker_->hasQueuedJobs() && !worker_->waitUntilIdle(kHandOverWait)) {
        // Still blocked in a read of a file given up: leave it that thread, take a new one.
        worker_->retire();
        worker_.reset();
    }
    if (!worker_) {
        worker_ = std::make_shared<Worker>(wake_);
        std::thread(Worker::run, worker_).detach();
    }
    Job id = nextJob_++;
    worker_->queue(id, std::move(request));
    return id;
}

std::optional<ReadEvent> BackgroundReader::poll(Job job)
{
    return worker_ ? worker_->poll(job) : std::nullopt;
}

void BackgroundReader::finish(Job job)
{
    if (worker_)
        worker_->finish(job);
}

void BackgroundReader::dropAll()
{
    if (worker_)
        worker_->dropAll();
}

bool BackgroundReader::prepareToSleep(Job job)
{
    return !worker_ || worker_->prepareToSleep(job);
}

bool BackgroundReader::busy() const
{
    return worker_ && worker_->busy();
}

} // namespace engine
