#pragma once
#include "engine/hash_algorithms.h"
#include "engine/read_event.h"
#include "engine/read_tally.h"
#include "platform/tree_walk.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// One entry of a walk as the engine takes it; a file of a walk that reads carries the job
// under which its read events come.
struct WalkItem {
    platform::WalkEntry entry;
    std::uint64_t job = 0;
};

enum class WalkPurpose {
    Count, // list only
    Read,  // list, open and read every file
};

// Everything that may block in the kernel runs here, on threads of its own, so that a
// listing or a read that hangs for minutes on a failing medium never blocks the thread that
// runs the engine and the window: the walk of the tree (listing, stat, open) on one thread,
// the reads on the threads of the file reader. The engine takes the walk's entries and each
// file's read events in walk order; the walk runs a bounded distance ahead of it (entries,
// and files opened before their turn), so memory and descriptors stay bounded whatever the
// tree.
//
// A walk or read given up while it blocks is left behind: it ends when the kernel lets it,
// and nothing of it reaches the engine or its host any more.
class BackgroundReader {
public:
    using Job = std::uint64_t;

    // The fewest descriptors a walk that reads needs besides those the process holds: the
    // root, the directory being listed, a subdirectory being opened and its listing stream,
    // one file, the rings of the status and read queues and the reader's wake-up (measured
    // under prlimit: one fewer fails a deep tree).
    static constexpr int kLeastDescriptors = 8;

    // wake is called on a reader thread when something the engine waits for has come.
    explicit BackgroundReader(std::function<void()> wake);
    ~BackgroundReader();
    BackgroundReader(const BackgroundReader&) = delete;
    BackgroundReader& operator=(const BackgroundReader&) = delete;

    // Starts a walk of root (giving up whatever ran before). With Read, files are opened
    // and read at most filesAhead files before the engine reaches them.
    void startWalk(const std::string& root, WalkPurpose purpose, bool quick, int filesAhead);
    // Starts reading one named file (a link to it is followed); its job.
    Job startFile(const std::string& path, std::int64_t listedSize, bool quick);

    // The next entry of the walk, when it has come.
    std::optional<WalkItem> nextItem();
    // The engine has reached job's file: from now on it may be opened even with no files
    // ahead.
    void reachedFile(Job job);
    // The next read event of job, which must be the oldest job not yet finished.
    std::optional<ReadEvent> poll(Job job);
    // Asks to be woken (the wake function) when the next walk entry (job 0) or the next event
    // of job comes; true when it is there already, so that waiting is not needed.
    bool prepareToSleep(Job job);
    // Done with job, read to its end or given up.
    void finish(Job job);
    // While held (a pause, a question waiting for its answer) the walk lists and opens
    // nothing and no new read request goes to the medium; those in flight come back.
    void hold(bool held);
    // Gives up the walk and every job (a stop, or the end of a phase).
    void stop();
    // A walk or a read is still under way, perhaps blocked in the kernel for good.
    bool busy() const;
    // Bytes read through the page cache where the filesystem refused direct reads.
    std::int64_t bytesNotFromMedium() const;
    // Reads of walks started from now on that take at least this long come as Slow events.
    void setSlowThreshold(double seconds) { slowSeconds_ = seconds; }
    // Files of walks started from now on map their damage past a failed read.
    void setMapDamage(bool map) { map_ = map; }
    // Files of walks started from now on that are read whole end with a Hashed event of
    // these algorithms (none: no hashing).
    void setHashing(HashSet algorithms) { hash_ = algorithms; }
    // Reads of walks started from now on count the bytes of their completed requests there.
    void setTally(std::shared_ptr<ReadTally> tally) { tally_ = std::move(tally); }

    class Walk;

private:
    std::function<void()> wake_;
    std::shared_ptr<Walk> walk_;
    std::vector<std::shared_ptr<Walk>> leftBehind_; // given up, perhaps still blocked
    std::int64_t notFromMedium_ = 0;                // of walks given up
    double slowSeconds_ = 1.0;
    bool map_ = false;
    HashSet hash_ = 0;
    std::shared_ptr<ReadTally> tally_;
};

} // namespace engine
