#include "engine/file_reads.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

namespace {

constexpr int kUnitsAhead = 16;

struct Job {
    FileToRead file;
    int unconsumed = 0;
    bool started = false;
    bool dropped = false;
};

} // namespace

// One thread, one request at a time, jobs in order.
class FileReads::Service {
public:
    Service(PostReadEvent post, ReadProfile profile) : post_(std::move(post)), profile_(profile) {}

    static void run(const std::shared_ptr<Service>& self) { self->loop(); }

    void add(FileToRead file)
    {
        std::lock_guard lock(mutex_);
        auto id = file.job;
        auto job = std::make_shared<Job>();
        job->file = std::move(file);
        jobs_[id] = std::move(job);
        changed_.notify_all();
    }
    void consumed(std::uint64_t id)
    {
        std::lock_guard lock(mutex_);
        if (auto it = jobs_.find(id); it != jobs_.end())
            --it->second->unconsumed;
        changed_.notify_all();
    }
    void drop(std::uint64_t id)
    {
        std::lock_guard lock(mutex_);
        if (auto it = jobs_.find(id); it != jobs_.end()) {
            it->second->dropped = true;
            jobs_.erase(it);
        }
        changed_.notify_all();
    }
    void dropAll()
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, job] : jobs_)
            job->dropped = true;
        jobs_.clear();
        changed_.notify_all();
    }
    void stop()
    {
        dropAll();
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            changed_.notify_all();
        }
        std::lock_guard gate(postGate_); // a post under way ends before the owner goes
        closed_ = true;
    }
    bool busy() const { return reading_.load(); }
    std::int64_t notFromMedium() const { return notFromMedium_.load(); }

private:
    void loop()
    {
        std::vector<char> buffer(kChunkSize);
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || nextJob() != nullptr; });
                if (stopped_)
                    return;
                job = nextJob();
                job->started = true;
            }
            read(*job, buffer);
            std::lock_guard lock(mutex_);
            if (auto it = jobs_.find(job->file.job); it != jobs_.end() && it->second == job)
                jobs_.erase(it); // its events are posted; nothing more to consume or drop
        }
    }

    void read(Job& job, std::vector<char>& buffer)
    {
        FileToRead& f = job.file;
        std::int64_t end = f.quick ? kQuickTestBytes : f.listedSize > 0 ? f.listedSize : kChunkSize;
        for (std::int64_t done = 0; done < end;) {
            std::int64_t unit = std::min(kChunkSize, end - done);
            if (!waitForRoom(job))
                return;
            reading_ = true;
            std::int64_t got = f.file.read(buffer.data(), static_cast<std::size_t>(unit));
            int error = errno;
            reading_ = false;
            if (got < 0) {
                post(job, {ReadEvent::Kind::ReadFailed, 0, error, done});
                return;
            }
            if (!f.file.fromMedium())
                notFromMedium_ += got;
            if (!post(job, {ReadEvent::Kind::Chunk, got, 0, 0}) || got < unit)
                return;
            done += got;
        }
    }

    std::shared_ptr<Job> nextJob() const
    {
        for (const auto& [id, job] : jobs_) {
            if (!job->started)
                return job;
        }
        return nullptr;
    }

    bool waitForRoom(Job& job)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return job.dropped || job.unconsumed < kUnitsAhead; });
        return !job.dropped;
    }

    bool post(Job& job, const ReadEvent& e)
    {
        {
            std::lock_guard lock(mutex_);
            if (job.dropped)
                return false;
            if (e.kind == ReadEvent::Kind::Chunk)
                ++job.unconsumed;
        }
        bool wanted = false;
        {
            std::lock_guard gate(postGate_);
            wanted = !closed_ && post_(job.file.job, e);
        }
        if (!wanted) {
            std::lock_guard lock(mutex_);
            job.dropped = true;
        }
        return wanted;
    }

    PostReadEvent post_;
    ReadProfile profile_;
    std::mutex mutex_;
    std::mutex postGate_;
    bool closed_ = false;
    std::condition_variable changed_;
    std::map<std::uint64_t, std::shared_ptr<Job>> jobs_;
    bool stopped_ = false;
    std::atomic<bool> reading_{false};
    std::atomic<std::int64_t> notFromMedium_{0};
};

FileReads::FileReads(PostReadEvent post, ReadProfile profile)
    : service_(std::make_shared<Service>(std::move(post), profile))
{
    std::thread(Service::run, service_).detach();
}

FileReads::~FileReads() { service_->stop(); }

void FileReads::add(FileToRead file) { service_->add(std::move(file)); }
void FileReads::consumed(std::uint64_t job) { service_->consumed(job); }
void FileReads::drop(std::uint64_t job) { service_->drop(job); }
void FileReads::dropAll() { service_->dropAll(); }
bool FileReads::busy() const { return service_->busy(); }
std::int64_t FileReads::bytesNotFromMedium() const { return service_->notFromMedium(); }

} // namespace engine
