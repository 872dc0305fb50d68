#pragma once
#include "engine/hash_algorithms.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace engine {

// Hashes the files of a read as their bytes come back from the medium, on threads of their
// own, so that the thread that reads never waits for a digest and files hash side by side,
// one core each. The bytes of one file are fed in file order; each piece stays the caller's
// until its release is called (the hand-off copies nothing). When a file has been fed to its
// end, done is called with its digests, on a hashing thread.
class HashingThreads {
public:
    using Job = std::uint64_t;
    using Done = std::function<void(Job job, std::shared_ptr<const Digests> digests)>;
    using Release = std::function<void()>;

    HashingThreads(HashSet algorithms, unsigned threads, Done done);
    // Waits for the piece being hashed, then releases every piece still queued unhashed.
    ~HashingThreads();
    HashingThreads(const HashingThreads&) = delete;
    HashingThreads& operator=(const HashingThreads&) = delete;

    // last: the file ends with this piece, as if end() came after it.
    void feed(Job job, const char* data, std::size_t length, Release release, bool last = false);
    void end(Job job);     // all of the file has been fed
    void abandon(Job job); // the file will not be read whole: no digest

private:
    struct Piece {
        enum class Kind { Data, End, Abandon } kind = Kind::Data;
        Job job = 0;
        const char* data = nullptr;
        std::size_t length = 0;
        Release release = nullptr;
        bool last = false;
    };
    struct Lane {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<Piece> queue;
        std::unordered_set<Job> abandoned; // pieces of these are skipped until their marker
        bool closing = false;
        std::thread thread;
    };
    Lane& laneOf(Job job) { return *lanes_[job % lanes_.size()]; }
    void put(Job job, Piece piece);
    void run(Lane& lane);
    void take(Piece& piece, std::unordered_map<Job, std::unique_ptr<MultiHasher>>& files);

    const HashSet algorithms_;
    const DigestMethods methods_;
    const Done done_;
    std::vector<std::unique_ptr<Lane>> lanes_;
};

} // namespace engine
