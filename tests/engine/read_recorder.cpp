#include "read_recorder.h"

#include <algorithm>

namespace reads_testing {

using engine::ReadEvent;

std::string describe(const std::vector<ReadEvent>& events)
{
    std::string text;
    for (const ReadEvent& e : events) {
        if (!text.empty())
            text += ' ';
        switch (e.kind) {
        case ReadEvent::Kind::Chunk: // each unit as if it came alone
            for (std::int64_t u = 1; u < e.units; ++u)
                text += std::to_string(engine::kChunkSize) + ' ';
            text += std::to_string(e.bytes - (e.units - 1) * engine::kChunkSize);
            break;
        case ReadEvent::Kind::OpenFailed: text += "open-failed"; break;
        case ReadEvent::Kind::ReadFailed:
            text += "fail " + std::to_string(e.error) + "@" + std::to_string(e.offset);
            break;
        case ReadEvent::Kind::Slow: text += "slow@" + std::to_string(e.offset); break;
        case ReadEvent::Kind::BadRange:
            text += "bad " + std::to_string(e.offset) + "+" + std::to_string(e.bytes);
            break;
        case ReadEvent::Kind::MapDone: text += "mapped"; break;
        case ReadEvent::Kind::Hashed: text += "hashed " + std::to_string(e.bytes); break;
        }
    }
    return text;
}

engine::PostReadEvent ReadRecorder::poster()
{
    return [this](std::uint64_t job, const ReadEvent& e) { return post(job, e); };
}

void ReadRecorder::expect(std::uint64_t job, std::int64_t listedSize, bool quick)
{
    std::lock_guard lock(mutex_);
    expected_[job].end = quick ? engine::kQuickTestBytes : listedSize > 0 ? listedSize : engine::kChunkSize;
}

void ReadRecorder::giveUp(std::uint64_t job)
{
    std::lock_guard lock(mutex_);
    givenUp_.insert(job);
    changed_.notify_all();
}

bool ReadRecorder::post(std::uint64_t job, const ReadEvent& e)
{
    bool take = false;
    {
        std::lock_guard lock(mutex_);
        if (givenUp_.contains(job))
            return false;
        events_[job].push_back(e);
        order_.push_back(job);
        Expected& x = expected_[job];
        if (e.kind == ReadEvent::Kind::Slow) {
            // no failure: the file goes on
        } else if (e.kind != ReadEvent::Kind::Chunk) {
            x.done = true;
        } else {
            std::int64_t unit = std::min(engine::kChunkSize, x.end - x.got);
            x.got += e.bytes;
            x.done = e.bytes < unit || x.got >= x.end;
            take = !hold_;
        }
        changed_.notify_all();
    }
    if (take && reads_ != nullptr)
        reads_->consumed(job, e.units);
    return true;
}

bool ReadRecorder::waitForAll(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return std::all_of(expected_.begin(), expected_.end(), [](const auto& x) { return x.second.done; });
    });
}

namespace {

std::size_t countAsTaken(const std::vector<ReadEvent>& events)
{
    std::size_t count = 0;
    for (const ReadEvent& e : events)
        count += e.kind == ReadEvent::Kind::Chunk ? static_cast<std::size_t>(e.units) : 1;
    return count;
}

} // namespace

bool ReadRecorder::waitForEvents(std::uint64_t job, std::size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return countAsTaken(events_[job]) >= count; });
}

std::size_t ReadRecorder::eventCount(std::uint64_t job) const
{
    return countAsTaken(events(job));
}

std::vector<ReadEvent> ReadRecorder::events(std::uint64_t job) const
{
    std::lock_guard lock(mutex_);
    auto it = events_.find(job);
    return it == events_.end() ? std::vector<ReadEvent>{} : it->second;
}

} // namespace reads_testing
