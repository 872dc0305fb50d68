// Stand-in until the reader with requests in flight lands: one thread, one read at a time.
#include "engine/file_reads.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace engine {

class FileReads::Service {
public:
    explicit Service(PostReadEvent post) : post_(std::move(post)), buffer_(kChunkSize) {}

    void add(FileToRead f)
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(f));
        changed_.notify_all();
    }
    void consumed(std::uint64_t job)
    {
        std::lock_guard lock(mutex_);
        if (job == current_ && ahead_ > 0)
            --ahead_;
        changed_.notify_all();
    }
    void drop(std::uint64_t job)
    {
        std::lock_guard lock(mutex_);
        dropped_.insert(job);
        changed_.notify_all();
    }
    void dropAll()
    {
        std::lock_guard lock(mutex_);
        for (auto& f : queue_)
            dropped_.insert(f.job);
        dropped_.insert(current_);
        queue_.clear();
        changed_.notify_all();
    }
    void retire()
    {
        std::lock_guard lock(mutex_);
        retired_ = true;
        queue_.clear();
        changed_.notify_all();
    }
    bool busy() const
    {
        std::lock_guard lock(mutex_);
        return reading_;
    }

    static void run(const std::shared_ptr<Service>& self) { self->loop(); }

private:
    void loop()
    {
        for (;;) {
            FileToRead f;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return retired_ || !queue_.empty(); });
                if (retired_)
                    return;
                f = std::move(queue_.front());
                queue_.pop_front();
                current_ = f.job;
                ahead_ = 0;
                reading_ = true;
            }
            read(f);
            std::lock_guard lock(mutex_);
            reading_ = false;
        }
    }

    void read(FileToRead& f)
    {
        if (f.quick || f.listedSize <= 0) {
            std::int64_t got = f.file.read(buffer_.data(), static_cast<std::size_t>(f.quick ? kQuickTestBytes : kChunkSize));
            if (got < 0)
                post(f.job, {ReadEvent::Kind::ReadFailed, 0, errno, 0});
            else
                post(f.job, {ReadEvent::Kind::Chunk, f.quick ? std::min(got, kQuickTestBytes) : got, 0, 0});
            return;
        }
        for (std::int64_t done = 0; done < f.listedSize;) {
            std::int64_t chunk = std::min(kChunkSize, f.listedSize - done);
            if (!waitForRoom(f.job))
                return;
            std::int64_t got = f.file.read(buffer_.data(), static_cast<std::size_t>(chunk));
            if (got < 0) {
                post(f.job, {ReadEvent::Kind::ReadFailed, 0, errno, done});
                return;
            }
            if (!post(f.job, {ReadEvent::Kind::Chunk, got, 0, 0}) || got != chunk)
                return;
            done += chunk;
        }
    }

    bool waitForRoom(std::uint64_t job)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return retired_ || dropped_.count(job) != 0 || ahead_ < 2; });
        ++ahead_;
        return !retired_ && dropped_.count(job) == 0;
    }

    bool post(std::uint64_t job, const ReadEvent& e)
    {
        {
            std::lock_guard lock(mutex_);
            if (retired_ || dropped_.count(job) != 0)
                return false;
        }
        return post_(job, e);
    }

    PostReadEvent post_;
    std::vector<char> buffer_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FileToRead> queue_;
    std::set<std::uint64_t> dropped_;
    std::uint64_t current_ = 0;
    int ahead_ = 0;
    bool reading_ = false;
    bool retired_ = false;
};

FileReads::FileReads(PostReadEvent post, ReadProfile) : service_(std::make_shared<Service>(std::move(post)))
{
    std::thread(Service::run, service_).detach();
}

FileReads::~FileReads()
{
    service_->retire();
}

void FileReads::add(FileToRead file)
{
    service_->add(std::move(file));
}
void FileReads::consumed(std::uint64_t job)
{
    service_->consumed(job);
}
void FileReads::drop(std::uint64_t job)
{
    service_->drop(job);
}
void FileReads::dropAll()
{
    service_->dropAll();
}
bool FileReads::busy() const
{
    return service_->busy();
}
std::int64_t FileReads::bytesNotFromMedium() const
{
    return 0;
}

} // namespace engine
