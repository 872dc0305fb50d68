#include "engine/file_reads.h"

#include "engine/file_job.h"
#include "engine/hashing_threads.h"
#include "engine/read_buffers.h"
#include "platform/read_queue.h"
#include "platform/stopped_time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace engine {

namespace {

// What the buffers of large requests in flight may hold, all files together; while hashing,
// also room for results that wait for a hashing thread, so that the medium is not left idle
// while a burst of results is hashed.
constexpr std::size_t kLargeBufferBytes = 8 << 20;
constexpr std::size_t kLargeBufferBytesHashing = 24 << 20;

// The service thread wakes at least this often.
constexpr std::chrono::milliseconds kBeat{100};
// How long the end of a reader with nothing in flight is waited for.
constexpr std::chrono::milliseconds kIdleEnd{1000};

struct Command {
    enum class Kind { Add, Consumed, Drop, DropAll, Hold, Release, Close, Hashed, Digested, WrittenBack };
    Command(Kind k, std::uint64_t id = 0, std::unique_ptr<FileToRead> f = nullptr)
        : kind(k), job(id), file(std::move(f))
    {}
    Kind kind;
    std::uint64_t job;
    std::unique_ptr<FileToRead> file;       // Add only
    char* buffer = nullptr;                 // Hashed: the buffer it is done with
    std::size_t length = 0;                 // Hashed: its length; Consumed: how many Chunk events
    std::shared_ptr<const Digests> digests; // Digested: the file's, from a hashing thread
};

} // namespace

// Runs on a thread of its own that owns the jobs, the buffers and the queue; the other
// threads only leave it commands. The thread ends once it was closed and every request in
// flight came back, so buffers never go while the kernel may still write into them; the
// owner never waits for that.
class FileReads::Service {
public:
    Service(PostReadEvent post, const ReadProfile& profile, double slowSeconds, HashSet hash,
            std::shared_ptr<ReadTally> tally)
        : post_(std::move(post)), profile_(sane(profile)), slowSeconds_(slowSeconds), tally_(std::move(tally)),
          queue_(platform::makeReadQueue(static_cast<unsigned>(profile_.depth), profile_.useIoUring)),
          buffers_(static_cast<std::size_t>(profile_.depth) * (hash != 0 ? 2 : 1), kChunkSize,
                   largeBufferCount(profile_, hash), profile_.requestSize)
    {
        const unsigned lanes = std::max(1u, std::thread::hardware_concurrency());
        largeShare_ = std::max<std::size_t>(2, largeBufferCount(profile_, hash) / lanes);
        if (hash != 0)
            hashing_ = std::make_unique<HashingThreads>(
                hash, lanes, [this](std::uint64_t job, std::shared_ptr<const Digests> digests) {
                    // Posted by the service thread: a post may end the reader (it can
                    // hold the receiver's last owner), which a hashing thread cannot
                    // outlive.
                    Command c(Command::Kind::Digested, job);
                    c.digests = std::move(digests);
                    command(std::move(c));
                });
    }

    static void run(const std::shared_ptr<Service>& self)
    {
        self->thread_ = std::this_thread::get_id();
        self->self_ = self;
        self->loop();
        self->endLoop();
    }

    // Any thread ----------------------------------------------------------------------
    void command(Command c)
    {
        {
            std::lock_guard lock(inboxMutex_);
            inbox_.push_back(std::move(c));
        }
        if (sleeping_.exchange(false))
            queue_->wake();
    }

    // After this no post is under way and none comes. The owner may let go of the reader
    // from within a post (the receiver's last owner was the one the post held), and then
    // this thread holds the gate already: the post under way is its own and ends next.
    void close()
    {
        command(Command(Command::Kind::Close));
        if (poster_.load() == std::this_thread::get_id()) {
            closed_ = true;
            return;
        }
        std::lock_guard gate(postGate_);
        closed_ = true;
    }

    bool busy() const { return inFlightCount_.load() > 0; }

    // After close(), with nothing in flight: the loop ends at its next look, and its helper
    // threads with it. Waited for at most bound, and never on the service thread itself.
    void awaitEnd(std::chrono::milliseconds bound)
    {
        if (thread_.load() == std::this_thread::get_id())
            return;
        std::unique_lock lock(endMutex_);
        loopEnded_.wait_for(lock, bound, [this] { return ended_; });
    }
    std::int64_t notFromMedium() const { return notFromMedium_.load(); }

private:
    using Clock = std::chrono::steady_clock;
    struct InFlight {
        std::shared_ptr<FileJob> job; // keeps the file open while the kernel reads it
        char* buffer;
        std::size_t length;
        std::int64_t offset;
        // When the medium can have begun it, and how long the process had been stopped
        // by then.
        Clock::time_point began;
        Clock::duration stoppedBefore;
    };

    static std::size_t largeBufferCount(const ReadProfile& sane, HashSet hash)
    {
        return std::max<std::size_t>(2, (hash != 0 ? kLargeBufferBytesHashing : kLargeBufferBytes) / sane.requestSize);
    }

    static ReadProfile sane(ReadProfile p)
    {
        p.depth = std::clamp(p.depth, 1, 64);
        p.fileDepth = std::clamp(p.fileDepth, 1, p.depth);
        p.blockSize = std::clamp<std::size_t>(p.blockSize, 512, platform::kSafeBlockSize);
        p.requestSize = std::clamp<std::size_t>(p.requestSize / kChunkSize * kChunkSize, kChunkSize, 4 << 20);
        return p;
    }

    // The service thread --------------------------------------------------------------
    void loop()
    {
        stopped_.emplace(); // watches while there is reading to time, and not after
        std::vector<platform::ReadDone> done;
        while (takeCommands()) {
            send();
            inFlightCount_.store(inFlight_.size());
            if (!waitWorthwhile())
                continue;
            done.clear();
            queue_->wait(done, kBeat);
            sleeping_.store(false);
            for (const platform::ReadDone& d : done)
                complete(d);
            inFlightCount_.store(inFlight_.size());
        }
    }

    // The helper threads end with the loop rather than with the last owner of the service,
    // so that one who waits for the end (awaitEnd) finds none of them still there.
    void endLoop()
    {
        stopped_.reset();
        hashing_.reset();
        std::lock_guard lock(endMutex_);
        ended_ = true;
        loopEnded_.notify_all();
    }

    // False once closed and nothing is in flight any more.
    bool takeCommands()
    {
        std::vector<Command> commands;
        {
            std::lock_guard lock(inboxMutex_);
            commands.swap(inbox_);
        }
        for (Command& c : commands) {
            switch (c.kind) {
            case Command::Kind::Add: {
                std::uint64_t id = c.file->job;
                auto job = std::make_shared<FileJob>(std::move(*c.file), profile_);
                if (hashing_)
                    job->readFarAhead();
                jobs_[id] = std::move(job);
                break;
            }
            case Command::Kind::Consumed:
                if (auto it = jobs_.find(c.job); it != jobs_.end())
                    it->second->consumed(static_cast<std::int64_t>(c.length));
                break;
            case Command::Kind::Drop: drop(c.job); break;
            case Command::Kind::Hashed: giveBuffer(c.job, c.buffer, c.length); break;
            case Command::Kind::Digested: postHashed(c.job, std::move(c.digests)); break;
            case Command::Kind::WrittenBack:
                if (auto it = jobs_.find(c.job); it != jobs_.end())
                    it->second->writtenBack();
                break;
            case Command::Kind::DropAll: dropAll(); break;
            case Command::Kind::Hold: paused_ = true; break;
            case Command::Kind::Release: paused_ = false; break;
            case Command::Kind::Close:
                dropAll();
                closing_ = true;
                break;
            }
        }
        return !closing_ || !inFlight_.empty();
    }

    // Sleeps only when no command is waiting; a command that comes meanwhile wakes it.
    bool waitWorthwhile()
    {
        sleeping_.store(true);
        std::lock_guard lock(inboxMutex_);
        if (inbox_.empty())
            return true;
        sleeping_.store(false);
        return false;
    }

    // Sends requests in the order of the jobs while there is room. On media that must be
    // read in order, a job's successor waits until all of it has been asked for, unless the
    // job waits for its hashing thread: then the medium is faster than one core hashes, and
    // the next file is read beside it for the next core (a disk that the hashing keeps up
    // with is still read one file after another). A job going
    // over a failure block by block sends only when nothing else is in flight, and nothing
    // else goes until its request came back.
    void send()
    {
        if (paused_)
            return;
        for (const auto& [tag, f] : inFlight_) {
            if (f.job->needsDeviceAlone())
                return;
        }
        for (auto& [id, job] : jobs_) {
            if (!job->needsDeviceAlone())
                continue;
            if (auto request = job->next()) {
                if (inFlight_.empty())
                    submit(job, *request);
                return; // nothing else until it has come back
            }
        }
        for (auto& [id, job] : jobs_) {
            if (job->needsDeviceAlone()) {
                if (profile_.inOrder && job->hasMore())
                    return;
                continue;
            }
            bool waitsForHashing = false;
            while (inFlight_.size() < static_cast<std::size_t>(profile_.depth)) {
                auto request = job->next();
                if (!request)
                    break;
                if (overShare(id, *request)) {
                    waitsForHashing = true;
                    break;
                }
                if (!submit(job, *request))
                    return;
            }
            if (inFlight_.size() >= static_cast<std::size_t>(profile_.depth) ||
                (profile_.inOrder && job->hasMore() && !waitsForHashing))
                return;
        }
    }

    // While hashing, the large buffers of one file wait for its hashing thread; a file may
    // hold only its lane's share of them when others wait, so that the next file is read
    // and hashed beside it rather than after it.
    bool overShare(std::uint64_t id, const FileJob::Request& request) const
    {
        if (!hashing_ || jobs_.size() < 2 || request.length <= static_cast<std::size_t>(kChunkSize))
            return false;
        auto it = largeHeldBy_.find(id);
        return it != largeHeldBy_.end() && it->second >= largeShare_;
    }

    void giveBuffer(std::uint64_t job, char* buffer, std::size_t length)
    {
        buffers_.give(buffer, length);
        if (length <= static_cast<std::size_t>(kChunkSize))
            return;
        if (auto it = largeHeldBy_.find(job); it != largeHeldBy_.end() && --it->second == 0)
            largeHeldBy_.erase(it);
    }

    // False when no buffer is free now.
    bool submit(const std::shared_ptr<FileJob>& job, const FileJob::Request& request)
    {
        char* buffer = buffers_.take(request.length);
        if (buffer == nullptr)
            return false;
        if (request.length > static_cast<std::size_t>(kChunkSize))
            ++largeHeldBy_[job->id()];
        std::uint64_t tag = nextTag_++;
        inFlight_[tag] = {job, buffer, request.length, request.offset, Clock::now(), stopped_->total()};
        job->sent(tag, request);
        queue_->submit(job->fd(), buffer, request.length, request.offset, tag);
        return true;
    }

    void complete(const platform::ReadDone& d)
    {
        auto it = inFlight_.find(d.tag);
        if (it == inFlight_.end())
            return;
        std::shared_ptr<FileJob> job = std::move(it->second.job);
        char* buffer = it->second.buffer;
        const std::size_t length = it->second.length;
        auto now = Clock::now();
        // The time the process was stopped (SIGSTOP, Ctrl+Z) is no time of the medium's.
        const Clock::duration stopped = stopped_->total();
        double seconds =
            std::chrono::duration<double>(now - it->second.began - (stopped - it->second.stoppedBefore)).count();
        std::int64_t offset = it->second.offset;
        inFlight_.erase(it);
        // Whatever was sent after it waited behind it until now, at the earliest; after a
        // slow one, whatever is still under way waited for the medium to get past it.
        bool slow = seconds >= slowSeconds_;
        for (auto& [tag, later] : inFlight_) {
            if ((tag > d.tag || slow) && later.began < now) {
                later.began = now;
                later.stoppedBefore = stopped;
            }
        }
        if (tally_ && d.result > 0)
            tally_->add(std::min(d.result, std::max<std::int64_t>(0, job->listedSize() - offset)));
        auto listed = jobs_.find(job->id());
        if (listed == jobs_.end() || listed->second != job) {
            giveBuffer(job->id(), buffer, length);
            return; // dropped meanwhile
        }
        // A result to hash keeps its buffer until the job takes it in file order.
        if (hashing_ && d.result > 0 && job->awaits(d.tag))
            held_[d.tag] = {buffer, length, job->id()};
        else
            giveBuffer(job->id(), buffer, length);
        if (slow && !post(*job, {ReadEvent::Kind::Slow, 0, 0, offset, seconds})) {
            drop(job->id());
            return;
        }
        FileJob::Outcome out = job->done(d.tag, d.result);
        for (const ReadEvent& e : out.events) {
            if (!post(*job, e)) {
                drop(job->id()); // given up meanwhile
                return;
            }
        }
        // After the events: a file's Hashed event comes after its last Chunk.
        if (hashing_)
            handOver(*job, out);
        if (out.writeBackFirst)
            writeBackOffThread(job);
        if (out.finished)
            retire(job->id());
    }

    // Writing back a file's dirty pages waits for the medium, perhaps for long: the other
    // files' reads go on meanwhile. At most one per file the walk opened ahead.
    void writeBackOffThread(const std::shared_ptr<FileJob>& job)
    {
        std::thread([job, weak = self_] {
            job->writeBackAndDropCache();
            if (auto self = weak.lock())
                self->command(Command(Command::Kind::WrittenBack, job->id()));
        }).detach();
    }

    // The results taken go to the hashing threads; the buffers of results that will not be
    // taken any more (the job went back to read them again) come back at once.
    void handOver(const FileJob& job, const FileJob::Outcome& out)
    {
        const bool whole = out.finished && job.readWhole();
        bool ended = false; // with its last piece
        for (std::size_t i = 0; i < out.taken.size(); ++i) {
            const FileJob::Taken& t = out.taken[i];
            auto h = held_.find(t.tag);
            if (h == held_.end())
                continue; // nothing came: the file ended there
            Held held = h->second;
            held_.erase(h);
            if (t.bytes == 0) {
                giveBuffer(held.job, held.buffer, held.length);
                continue;
            }
            const bool last = whole && i + 1 == out.taken.size();
            hashing_->feed(
                job.id(), held.buffer, t.bytes,
                [this, held] {
                    Command c(Command::Kind::Hashed, held.job);
                    c.buffer = held.buffer;
                    c.length = held.length;
                    command(std::move(c));
                },
                last);
            ended = ended || last;
        }
        releaseHeld(job.id(), [&](std::uint64_t tag) { return !job.awaits(tag); });
        if (whole && !ended)
            hashing_->end(job.id());
        else if (out.finished && !whole)
            hashing_->abandon(job.id());
    }

    template <class Which>
    void releaseHeld(std::uint64_t id, Which which)
    {
        for (auto h = held_.begin(); h != held_.end();) {
            if (h->second.job == id && which(h->first)) {
                giveBuffer(id, h->second.buffer, h->second.length);
                h = held_.erase(h);
            } else {
                ++h;
            }
        }
    }

    void postHashed(std::uint64_t job, std::shared_ptr<const Digests> digests)
    {
        ReadEvent e{ReadEvent::Kind::Hashed, digests->bytes, 0, 0, 0};
        e.digests = std::move(digests);
        deliver(job, e);
    }

    bool post(const FileJob& job, const ReadEvent& e)
    {
        if (e.kind == ReadEvent::Kind::Chunk && !job.fromMedium())
            notFromMedium_ += e.bytes;
        return deliver(job.id(), e);
    }

    // The service thread posts, one post at a time, none after the close.
    bool deliver(std::uint64_t job, const ReadEvent& e)
    {
        std::lock_guard gate(postGate_);
        if (closed_)
            return false;
        poster_.store(std::this_thread::get_id());
        bool taken = post_(job, e);
        poster_.store({});
        return taken;
    }

    // A job the engine finished or gave up; one read whole may still be hashing.
    void drop(std::uint64_t id)
    {
        auto it = jobs_.find(id);
        if (it == jobs_.end())
            return;
        forgetRequestsOf(*it->second);
        if (hashing_) {
            releaseHeld(id, [](std::uint64_t) { return true; });
            hashing_->abandon(id);
        }
        jobs_.erase(it);
    }

    // A job read to its end: a digest on its way stays so.
    void retire(std::uint64_t id)
    {
        if (hashing_)
            releaseHeld(id, [](std::uint64_t) { return true; });
        jobs_.erase(id);
    }

    void dropAll()
    {
        for (auto& [id, job] : jobs_) {
            forgetRequestsOf(*job);
            if (hashing_)
                hashing_->abandon(id);
        }
        for (auto& [tag, held] : held_)
            giveBuffer(held.job, held.buffer, held.length);
        held_.clear();
        jobs_.clear();
    }

    void forgetRequestsOf(const FileJob& job)
    {
        for (auto& [tag, f] : inFlight_) {
            if (f.job.get() == &job)
                queue_->forget(tag);
        }
    }

    PostReadEvent post_;
    const ReadProfile profile_;
    const double slowSeconds_;
    const std::shared_ptr<ReadTally> tally_;
    std::weak_ptr<Service> self_; // set as its thread starts
    std::unique_ptr<platform::ReadQueue> queue_;
    ReadBuffers buffers_;
    std::map<std::uint64_t, std::shared_ptr<FileJob>> jobs_; // in the engine's order
    std::unordered_map<std::uint64_t, InFlight> inFlight_;
    std::uint64_t nextTag_ = 1;
    bool closing_ = false;
    bool paused_ = false;
    std::optional<platform::StoppedTime> stopped_; // how long the process was stopped, while the loop runs

    std::mutex inboxMutex_;
    std::vector<Command> inbox_;
    std::atomic<bool> sleeping_{false};
    std::mutex postGate_;
    std::atomic<std::thread::id> poster_{}; // the thread inside post_, holding the gate
    bool closed_ = false;
    std::atomic<std::size_t> inFlightCount_{0};
    std::atomic<std::thread::id> thread_{};
    std::mutex endMutex_;
    std::condition_variable loopEnded_;
    bool ended_ = false;
    std::atomic<std::int64_t> notFromMedium_{0};

    struct Held {
        char* buffer;
        std::size_t length;
        std::uint64_t job;
    };
    std::unordered_map<std::uint64_t, Held> held_;               // by tag: results not yet taken in order
    std::unordered_map<std::uint64_t, std::size_t> largeHeldBy_; // by job: large buffers in flight, held or hashed
    std::size_t largeShare_ = 2;
    // Last, so that its threads end first, while everything they may touch is still there.
    std::unique_ptr<HashingThreads> hashing_;
};

FileReads::FileReads(PostReadEvent post, ReadProfile profile, double slowSeconds, HashSet hash,
                     std::shared_ptr<ReadTally> tally)
    : service_(std::make_shared<Service>(std::move(post), profile, slowSeconds, hash, std::move(tally)))
{
    std::thread(Service::run, service_).detach();
}

// A reader with nothing in flight ends here, helper threads and all; one with a read still in
// the kernel is left to end when the kernel lets it.
FileReads::~FileReads()
{
    service_->close();
    if (!service_->busy())
        service_->awaitEnd(kIdleEnd);
}

void FileReads::add(FileToRead file)
{
    std::uint64_t id = file.job;
    service_->command(Command(Command::Kind::Add, id, std::make_unique<FileToRead>(std::move(file))));
}

void FileReads::consumed(std::uint64_t job, std::int64_t chunks)
{
    Command c(Command::Kind::Consumed, job);
    c.length = static_cast<std::size_t>(chunks);
    service_->command(std::move(c));
}
void FileReads::drop(std::uint64_t job)
{
    service_->command(Command(Command::Kind::Drop, job));
}
void FileReads::dropAll()
{
    service_->command(Command(Command::Kind::DropAll));
}
void FileReads::hold(bool held)
{
    service_->command(Command(held ? Command::Kind::Hold : Command::Kind::Release));
}
bool FileReads::busy() const
{
    return service_->busy();
}
std::int64_t FileReads::bytesNotFromMedium() const
{
    return service_->notFromMedium();
}

} // namespace engine
