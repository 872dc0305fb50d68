#include "engine/background_reader.h"

#include "engine/file_reads.h"
#include "platform/file_reader.h"
#include "platform/filesystem.h"
#include "platform/read_profile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace engine {

namespace {

// Walk entries the engine has not taken yet: the walk pauses there, so a huge directory
// does not pile up in memory while the engine yields.
constexpr std::size_t kQueuedEntries = 4096;
// Chunk units taken before the reader is told, when more are waiting: 1 MiB.
constexpr std::int64_t kConsumedBatch = 16;
// ... and the bytes of their paths, which in a deep tree are each as long as the depth.
constexpr std::size_t kQueuedPathBytes = 16u << 20;
// Directory descriptors the walk keeps open whatever the depth, when it may.
constexpr int kDirectoriesOpen = 8;
// Descriptors left for everything else of the process (the window, the report, the archive),
// when there are enough of them.
constexpr int kDescriptorsKept = 48;
// How long a stop lets a walk's thread leave before keeping the walk as left behind: one at
// its end leaves at once, one stuck in the kernel does not.
constexpr std::chrono::milliseconds kWalkLeaves{100};

// How a walk spends the descriptors the process may still open: a low open-file limit makes
// it keep fewer directories and open fewer files ahead, never fail an open (which would count
// a readable file as unreadable).
struct DescriptorBudget {
    int directories = kDirectoriesOpen;
    int filesAhead = 0;
};

DescriptorBudget budgetFor(int wanted)
{
    int available = platform::descriptorsAvailable() - BackgroundReader::kLeastDescriptors;
    DescriptorBudget budget;
    budget.directories = std::clamp(2 + available / 4, 2, kDirectoriesOpen);
    int kept = std::min(kDescriptorsKept, available / 2);
    int room = (available - (budget.directories - 2) - kept) / 2;
    budget.filesAhead = std::clamp(room, 0, std::max(wanted, 0));
    return budget;
}

} // namespace

class BackgroundReader::Walk : public std::enable_shared_from_this<Walk> {
public:
    Walk(std::function<void()> wake, bool quick, int filesAhead, double slowSeconds, bool map, HashSet hash,
         std::shared_ptr<ReadTally> tally)
        : wake_(std::move(wake)), quick_(quick), budget_(budgetFor(filesAhead)),
          filesAhead_(static_cast<Job>(budget_.filesAhead)), slowSeconds_(slowSeconds), map_(map),
          hash_(quick ? 0 : hash), tally_(std::move(tally))
    {}

    // Starts the thread of the walk; it keeps the walk alive as long as it runs. The read
    // profile asks the filesystem and sysfs, which may stall: on that thread too.
    void startTree(std::string root, WalkPurpose purpose)
    {
        std::thread([self = shared_from_this(), root = std::move(root), purpose] {
            if (purpose == WalkPurpose::Read)
                self->startReads(platform::readProfileFor(root));
            self->walkTree(root, purpose);
            self->threadEnded();
        }).detach();
    }

    Job startFile(std::string path, std::int64_t size)
    {
        Job job = newJob();
        std::thread([self = shared_from_this(), path = std::move(path), size, job] {
            self->startReads(platform::readProfileFor(path));
            platform::ReadFile file;
            auto result = file.open(path, pattern(self->quick_), true);
            self->startReading(job, std::move(file), result, size);
            self->threadEnded();
        }).detach();
        return job;
    }

    // Engine side -----------------------------------------------------------------------
    std::optional<WalkItem> nextItem()
    {
        std::lock_guard lock(mutex_);
        if (items_.empty())
            return std::nullopt;
        WalkItem item = std::move(items_.front());
        items_.pop_front();
        queuedPathBytes_ -= item.entry.path.size();
        changed_.notify_all();
        return item;
    }

    void reachedFile(Job job)
    {
        std::lock_guard lock(mutex_);
        reached_ = std::max(reached_, job);
        changed_.notify_all();
    }

    // The reader hears of the Chunk events taken in batches, each a command to its thread:
    // at once when the engine has taken all that came (it is about to wait for more), and
    // otherwise every kConsumedBatch, which keeps the reader within a megabyte of reading as
    // far ahead as it may.
    std::optional<ReadEvent> poll(Job job)
    {
        std::optional<ReadEvent> e;
        std::int64_t report = 0;
        {
            std::lock_guard lock(mutex_);
            auto it = events_.find(job);
            if (it == events_.end() || it->second.empty())
                return std::nullopt;
            e = it->second.front();
            it->second.pop_front();
            if (e->kind == ReadEvent::Kind::Chunk &&
                ((unreported_ += e->units) >= kConsumedBatch || it->second.empty()))
                report = std::exchange(unreported_, 0);
        }
        if (report > 0)
            if (auto r = reads())
                r->consumed(job, report); // outside the lock: the reader posts while holding its own
        return e;
    }

    bool prepareToSleep(Job job)
    {
        std::lock_guard lock(mutex_);
        if (hasArrived(job))
            return true;
        awaited_ = job;
        return false;
    }

    void finish(Job job)
    {
        {
            std::lock_guard lock(mutex_);
            events_.erase(job);
            unreported_ = 0; // the job is dropped: what it consumed no longer matters
        }
        if (auto r = reads())
            r->drop(job);
    }

    // While held the walk lists and opens nothing more and no new read request is sent.
    void hold(bool held)
    {
        {
            std::lock_guard lock(mutex_);
            held_ = held;
            changed_.notify_all();
        }
        if (auto r = reads())
            r->hold(held);
    }

    // After this nothing of the walk reaches the engine or its host.
    void giveUp()
    {
        {
            std::lock_guard lock(mutex_);
            givenUp_ = true;
            items_.clear();
            queuedPathBytes_ = 0;
            events_.clear();
            awaited_.reset();
            changed_.notify_all();
        }
        if (auto r = reads())
            r->dropAll();
    }

    // A walk given up at its end has its thread still leaving: a moment lets it go.
    void letThreadEnd(std::chrono::milliseconds bound)
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, bound, [this] { return !threadRunning_; });
    }

    bool busy() const
    {
        {
            std::lock_guard lock(mutex_);
            if (threadRunning_)
                return true;
        }
        auto r = reads();
        return r && r->busy();
    }

    std::int64_t bytesNotFromMedium() const
    {
        auto r = reads();
        return r ? r->bytesNotFromMedium() : 0;
    }

private:
    static platform::ReadPattern pattern(bool quick)
    {
        return quick ? platform::ReadPattern::FirstBytes : platform::ReadPattern::WholeFile;
    }

    void startReads(const platform::ReadProfile& profile)
    {
        // The reader may outlive this walk by a read stalled in the kernel; its events then
        // find no walk and are dropped.
        std::weak_ptr<Walk> weak = weak_from_this();
        auto r = std::make_shared<FileReads>(
            [weak](Job job, const ReadEvent& e) {
                auto walk = weak.lock();
                return walk && walk->postRead(job, e);
            },
            profile, slowSeconds_, hash_, tally_);
        std::lock_guard lock(mutex_);
        if (held_)
            r->hold(true);
        reads_ = std::move(r);
    }

    std::shared_ptr<FileReads> reads() const
    {
        std::lock_guard lock(mutex_);
        return reads_;
    }

    // Walk thread -----------------------------------------------------------------------
    void walkTree(const std::string& root, WalkPurpose purpose)
    {
        // The reading walk follows the counting walk, which brought every status in. The
        // counting walk reads directories ahead where descriptors are plentiful.
        bool counting = purpose == WalkPurpose::Count;
        auto asking = counting ? platform::StatusAsking::Together : platform::StatusAsking::OneByOne;
        bool warmAhead = counting && budget_.directories == kDirectoriesOpen;
        platform::TreeWalker walker(root, budget_.directories, asking, warmAhead);
        while (auto entry = walker.next()) {
            WalkItem item{std::move(*entry), 0};
            bool read = purpose == WalkPurpose::Read && item.entry.kind == platform::WalkEntry::Kind::File;
            if (read)
                item.job = newJob();
            Job job = item.job;
            std::int64_t size = item.entry.size;
            int statusError = item.entry.error;
            if (!post(std::move(item)))
                return;
            if (read && !openAndRead(walker, job, size, statusError))
                return;
        }
    }

    // statusError: the file's status could not be read, so it cannot be opened either.
    bool openAndRead(const platform::TreeWalker& walker, Job job, std::int64_t size, int statusError)
    {
        if (!waitForTurn(job))
            return false;
        if (statusError != 0) {
            postRead(job, {ReadEvent::Kind::OpenFailed, 0, statusError, 0});
            return true;
        }
        platform::ReadFile file;
        auto result = file.openAt(walker.fileDirectory(), walker.fileName(), pattern(quick_));
        // Out of descriptors (other parts of the process hold more than the budget allowed
        // for): wait until the files before this one are done with, then try again for a
        // while, rather than call a readable file unreadable.
        for (int attempt = 0;
             result != platform::OpenResult::Opened && outOfDescriptors(file.openError()) && attempt < 100; ++attempt) {
            if (!waitForTurn(job, 0))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(attempt == 0 ? 0 : 20));
            file = platform::ReadFile();
            result = file.openAt(walker.fileDirectory(), walker.fileName(), pattern(quick_));
        }
        startReading(job, std::move(file), result, size);
        return true;
    }

    static bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

    void startReading(Job job, platform::ReadFile file, platform::OpenResult result, std::int64_t size)
    {
        if (result != platform::OpenResult::Opened) {
            postRead(job, {ReadEvent::Kind::OpenFailed, 0, file.openError(), 0});
            return;
        }
        reads()->add({job, std::move(file), size, quick_, map_});
    }

    Job newJob()
    {
        std::lock_guard lock(mutex_);
        Job job = nextJob_++;
        events_[job];
        return job;
    }

    // Waits for room in the queue of entries; false when the walk was given up.
    bool post(WalkItem item)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return givenUp_ ||
                (!held_ && (items_.empty() || (items_.size() < kQueuedEntries && queuedPathBytes_ < kQueuedPathBytes)));
        });
        if (givenUp_)
            return false;
        queuedPathBytes_ += item.entry.path.size();
        items_.push_back(std::move(item));
        wakeIfAwaited(0);
        return true;
    }

    // A file is opened only when the engine is at most ahead files before it.
    bool waitForTurn(Job job) { return waitForTurn(job, filesAhead_); }
    bool waitForTurn(Job job, Job ahead)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return givenUp_ || (job <= reached_ + ahead && !held_); });
        return !givenUp_;
    }

    bool postRead(Job job, const ReadEvent& e)
    {
        std::lock_guard lock(mutex_);
        auto it = events_.find(job);
        if (givenUp_ || it == events_.end())
            return false;
        it->second.push_back(e);
        wakeIfAwaited(job);
        return true;
    }

    void threadEnded()
    {
        std::lock_guard lock(mutex_);
        threadRunning_ = false;
        changed_.notify_all();
    }

    // Under the lock: a given-up walk has no awaited entry, so no wake can reach a host
    // that may be gone.
    void wakeIfAwaited(Job job)
    {
        if (awaited_ && *awaited_ == job) {
            awaited_.reset();
            wake_();
        }
    }

    bool hasArrived(Job job) const
    {
        if (job == 0)
            return !items_.empty();
        auto it = events_.find(job);
        return it != events_.end() && !it->second.empty();
    }

    std::function<void()> wake_;
    const bool quick_;
    const DescriptorBudget budget_;
    const Job filesAhead_;
    const double slowSeconds_;
    const bool map_;
    const HashSet hash_;
    const std::shared_ptr<ReadTally> tally_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WalkItem> items_;
    std::size_t queuedPathBytes_ = 0;
    std::map<Job, std::deque<ReadEvent>> events_; // jobs not finished, with their events
    std::int64_t unreported_ = 0;                 // Chunk units of the job being read taken, the reader not told
    Job nextJob_ = 1;
    Job reached_ = 0;
    std::optional<Job> awaited_; // 0: the next walk entry
    bool givenUp_ = false;
    bool held_ = false;
    bool threadRunning_ = true;
    std::shared_ptr<FileReads> reads_; // set by the walk's thread
};

BackgroundReader::BackgroundReader(std::function<void()> wake) : wake_(std::move(wake)) {}

BackgroundReader::~BackgroundReader()
{
    stop();
}

void BackgroundReader::startWalk(const std::string& root, WalkPurpose purpose, bool quick, int filesAhead)
{
    stop();
    walk_ = std::make_shared<Walk>(wake_, quick, filesAhead, slowSeconds_, map_, hash_, tally_);
    walk_->startTree(root, purpose);
}

BackgroundReader::Job BackgroundReader::startFile(const std::string& path, std::int64_t listedSize, bool quick)
{
    stop();
    walk_ = std::make_shared<Walk>(wake_, quick, 1, slowSeconds_, map_, hash_, tally_);
    return walk_->startFile(path, listedSize);
}

std::optional<WalkItem> BackgroundReader::nextItem()
{
    return walk_ ? walk_->nextItem() : std::nullopt;
}

void BackgroundReader::reachedFile(Job job)
{
    if (walk_)
        walk_->reachedFile(job);
}

std::optional<ReadEvent> BackgroundReader::poll(Job job)
{
    return walk_ ? walk_->poll(job) : std::nullopt;
}

bool BackgroundReader::prepareToSleep(Job job)
{
    return !walk_ || walk_->prepareToSleep(job);
}

void BackgroundReader::finish(Job job)
{
    if (walk_)
        walk_->finish(job);
}

void BackgroundReader::hold(bool held)
{
    if (walk_)
        walk_->hold(held);
}

void BackgroundReader::stop()
{
    if (!walk_)
        return;
    walk_->giveUp();
    walk_->letThreadEnd(kWalkLeaves);
    notFromMedium_ = walk_->bytesNotFromMedium();
    std::erase_if(leftBehind_, [](const auto& walk) { return !walk->busy(); });
    // A walk whose threads are done ends here, and its read service with it; one still in
    // the kernel is kept until it is not.
    if (walk_->busy())
        leftBehind_.push_back(std::move(walk_));
    walk_.reset();
}

bool BackgroundReader::busy() const
{
    return (walk_ && walk_->busy()) ||
        std::any_of(leftBehind_.begin(), leftBehind_.end(), [](const auto& walk) { return walk->busy(); });
}

std::int64_t BackgroundReader::bytesNotFromMedium() const
{
    return walk_ ? walk_->bytesNotFromMedium() : notFromMedium_;
}

} // namespace engine
