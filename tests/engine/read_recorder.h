#pragma once
#include "engine/file_reads.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace reads_testing {

// What a job's events came to, in a form a test can compare: "65536 65536 1", "fail 5@65536",
// "open-failed".
std::string describe(const std::vector<engine::ReadEvent>& events);

// Stands in for the engine: collects the events of every job, takes each Chunk at once
// (unless told to hold them back) and tells when a job has had its last event.
class ReadRecorder {
public:
    engine::PostReadEvent poster();
    void attach(engine::FileReads& reads) { reads_ = &reads; }
    void expect(std::uint64_t job, std::int64_t listedSize, bool quick);
    void holdChunks(bool hold)
    {
        std::lock_guard lock(mutex_);
        hold_ = hold;
    }
    void giveUp(std::uint64_t job);

    // False if the jobs did not all end in time.
    bool waitForAll(std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Events counted as the engine takes them: each unit of a Chunk event as one.
    bool waitForEvents(std::uint64_t job, std::size_t count, std::chrono::milliseconds limit);
    std::size_t eventCount(std::uint64_t job) const;
    std::vector<engine::ReadEvent> events(std::uint64_t job) const;
    std::string result(std::uint64_t job) const { return describe(events(job)); }
    // The job of every event posted, in the order they came, all jobs together.
    std::vector<std::uint64_t> jobsInOrder() const
    {
        std::lock_guard lock(mutex_);
        return order_;
    }

private:
    struct Expected {
        std::int64_t end = 0;
        std::int64_t got = 0;
        bool done = false;
    };
    bool post(std::uint64_t job, const engine::ReadEvent& e);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, std::vector<engine::ReadEvent>> events_;
    std::vector<std::uint64_t> order_;
    std::map<std::uint64_t, Expected> expected_;
    std::set<std::uint64_t> givenUp_;
    engine::FileReads* reads_ = nullptr;
    bool hold_ = false;
};

} // namespace reads_testing
