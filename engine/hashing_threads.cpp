#include "engine/hashing_threads.h"

#include <algorithm>

namespace engine {

HashingThreads::HashingThreads(HashSet algorithms, unsigned threads, Done done)
    : algorithms_(algorithms), done_(std::move(done))
{
    threads = std::clamp(threads, 1u, 64u);
    for (unsigned i = 0; i < threads; ++i)
        lanes_.push_back(std::make_unique<Lane>());
    for (auto& lane : lanes_)
        lane->thread = std::thread([this, l = lane.get()] { run(*l); });
}

HashingThreads::~HashingThreads()
{
    for (auto& lane : lanes_) {
        std::lock_guard lock(lane->mutex);
        lane->closing = true;
        lane->ready.notify_all();
    }
    for (auto& lane : lanes_) {
        lane->thread.join();
        for (Piece& p : lane->queue) {
            if (p.release)
                p.release();
        }
    }
}

void HashingThreads::feed(Job job, const char* data, std::size_t length, Release release, bool last)
{
    put(job, {Piece::Kind::Data, job, data, length, std::move(release), last});
}

void HashingThreads::end(Job job)
{
    put(job, {Piece::Kind::End, job});
}

void HashingThreads::abandon(Job job)
{
    Lane& lane = laneOf(job);
    std::lock_guard lock(lane.mutex);
    lane.abandoned.insert(job);
    lane.queue.push_back({Piece::Kind::Abandon, job});
    lane.ready.notify_one();
}

void HashingThreads::put(Job job, Piece piece)
{
    Lane& lane = laneOf(job);
    std::lock_guard lock(lane.mutex);
    lane.queue.push_back(std::move(piece));
    lane.ready.notify_one();
}

void HashingThreads::run(Lane& lane)
{
    std::unordered_map<Job, std::unique_ptr<MultiHasher>> files; // this lane's files under way
    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(lane.mutex);
            lane.ready.wait(lock, [&] { return lane.closing || !lane.queue.empty(); });
            if (lane.closing)
                return;
            piece = std::move(lane.queue.front());
            lane.queue.pop_front();
            if (piece.kind == Piece::Kind::Abandon) {
                lane.abandoned.erase(piece.job);
                files.erase(piece.job);
                continue;
            }
            if (lane.abandoned.count(piece.job) != 0) {
                lock.unlock();
                if (piece.release)
                    piece.release();
                continue;
            }
        }
        take(piece, files);
    }
}

void HashingThreads::take(Piece& piece, std::unordered_map<Job, std::unique_ptr<MultiHasher>>& files)
{
    auto& hasher = files[piece.job];
    if (!hasher)
        hasher = std::make_unique<MultiHasher>(algorithms_, &methods_);
    if (piece.kind == Piece::Kind::Data) {
        hasher->update(piece.data, piece.length);
        if (piece.release)
            piece.release();
        if (!piece.last)
            return;
    }
    auto digests = std::make_shared<const Digests>(hasher->finish());
    files.erase(piece.job);
    done_(piece.job, std::move(digests));
}

} // namespace engine
