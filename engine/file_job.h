#pragma once
#include "engine/file_reads.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace engine {

// One file being read: which request to send next, and what the results that came back in
// order mean as events. Requests may be larger than the 64 KiB units the engine counts in,
// and several may be in flight; their results are taken in file order.
class FileJob {
public:
    struct Request {
        std::int64_t offset = 0;
        std::size_t length = 0;
    };
    // The bytes of a request's result that count, taken in file order: from the request's
    // offset, contiguous with those taken before it.
    struct Taken {
        std::uint64_t tag;
        std::size_t bytes;
    };
    // What handing in a result brought: the events to post, the results taken, and whether
    // the job is over.
    struct Outcome {
        std::vector<ReadEvent> events;
        std::vector<Taken> taken;
        bool finished = false;
        // The job reads through the page cache from now on: nothing more is sent until the
        // file's cached pages were written back and dropped, which may take long, and off
        // the reader's thread (writeBackAndDropCache, then writtenBack).
        bool writeBackFirst = false;
    };

    FileJob(FileToRead file, const ReadProfile& profile);

    std::uint64_t id() const { return file_.job; }
    int fd() const { return file_.file.fd(); }
    bool fromMedium() const { return file_.file.fromMedium(); }
    std::int64_t listedSize() const { return file_.listedSize; }
    // The next request, if the job may send one now: within its depth and not too far
    // ahead of what the engine consumed.
    std::optional<Request> next() const;
    // Going over a failure block by block: each such request must reach the device alone, or
    // the block layer merges it with its neighbours (io_uring submits them together) and a
    // readable block fails with a bad one.
    bool needsDeviceAlone() const
    {
        return !finished_ && (bad_.has_value() || (retryEnd_ > 0 && largest_ <= profile_.blockSize));
    }
    // Part of the file is still to be requested.
    bool hasMore() const { return !finished_ && nextOffset_ < end_; }
    void sent(std::uint64_t tag, const Request& request);
    // The result of tag: bytes read, or -errno. Results of requests the job no longer waits
    // for (it restarted or finished) are ignored.
    Outcome done(std::uint64_t tag, std::int64_t result);
    void consumed(std::int64_t chunks = 1) { consumedChunks_ += chunks; }
    // While hashing, a file may be read far ahead of the engine, so that the next file is
    // hashed beside this one; the buffers bound the memory, not the distance.
    void readFarAhead() { farAhead_ = true; }
    void writeBackAndDropCache() const { file_.file.writeBackAndDropCache(); }
    void writtenBack() { writingBack_ = false; }
    // No read of the file has failed: once finished, all of it was taken.
    bool readWhole() const { return !failed_; }
    // The result of tag is one the job may still take in file order: sent and not given up,
    // whether it came back already or not.
    bool awaits(std::uint64_t tag) const;

private:
    struct Pending {
        std::uint64_t tag;
        Request request;
        bool done = false;
        std::int64_t result = 0;
    };
    void takeResult(const Pending& p, Outcome& out);
    void failed(const Pending& p, int error, Outcome& out);
    void restartAt(std::int64_t offset);
    void postUnitsUpTo(std::int64_t end, Outcome& out);
    void finish(Outcome& out);
    void endOfFile(Outcome& out);

    // Mapping the damage past a failed block (file_job_map.cpp)
    struct BadRun {
        std::int64_t start;       // the first failed block
        std::int64_t knownEnd;    // the end of the last block known to fail
        std::int64_t step;        // grows over a run of failures
        std::int64_t probe;       // the block asked for now
        std::int64_t goodAt = -1; // going back from a readable block to the run's edge
    };
    std::int64_t block() const { return static_cast<std::int64_t>(profile_.blockSize); }
    void beginBadRun(std::int64_t offset, Outcome& out);
    void badRunResult(const Pending& p, Outcome& out);
    void skipForward(Outcome& out);
    void endBadRun(std::int64_t end, std::int64_t resumeAt, Outcome& out);

    FileToRead file_;
    const ReadProfile profile_;
    bool farAhead_ = false;
    std::int64_t end_;                // what the events cover at most
    std::size_t largest_;             // the largest request now
    const std::size_t normalLargest_; // ... when no failed request is being gone over
    std::int64_t retryEnd_ = 0;       // end of the failed request being gone over, or 0
    std::int64_t nextOffset_ = 0;     // where the next request starts
    std::int64_t readEnd_ = 0;        // read without a gap from the start
    std::int64_t posted_ = 0;         // covered by Chunk events
    std::int64_t consumedChunks_ = 0;
    bool anyData_ = false;
    bool writingBack_ = false; // switched to the page cache, and its write-back not done yet
    bool finished_ = false;
    bool failed_ = false;
    bool mapping_ = false; // past the first failure: no more Chunk events
    std::optional<BadRun> bad_;
    std::deque<Pending> pending_; // in file order
};

} // namespace engine
