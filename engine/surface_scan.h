#pragma once
#include "engine/findings.h"
#include "engine/mapfile.h"
#include "engine/surface_plan.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
class ReadQueue;
}

namespace engine {

struct SurfaceScanSettings {
    SurfacePlanSettings plan;
    double slowSeconds = 1.0; // a request that takes this long is kept as a slow read
};

// Reads a device as its plan says, with several requests in flight, on the thread that calls
// run(); other threads may look at its progress, take a copy of its map to save, and stop it.
class SurfaceScan {
public:
    enum class End { Finished, Stopped, Abandoned };
    struct Snapshot {
        SurfaceMap map;
        MapfileStatus status;
    };

    SurfaceScan(int fd, std::string deviceName, SurfaceMap map, std::int64_t block, SurfaceScanSettings settings);
    ~SurfaceScan();
    SurfaceScan(const SurfaceScan&) = delete;
    SurfaceScan& operator=(const SurfaceScan&) = delete;

    // Finished: every byte has its final state. Stopped: stop() was called and every request
    // in flight came back. Abandoned: abandon() was called with requests still in flight,
    // whose buffers and queue must then outlive the process (leave with _Exit).
    End run(platform::ReadQueue& queue);

    // Any thread; wake the queue afterwards.
    void stop()
    {
        stop_ = true;
        pauseChanged_.notify_all();
    }
    void abandon()
    {
        abandon_ = true;
        pauseChanged_.notify_all();
    }
    // Any thread: a paused scan submits nothing new and, once what is in flight came back,
    // waits without reading until it goes on or is stopped.
    void pause(bool paused);

    // Any thread.
    Snapshot snapshot() const;
    std::int64_t bytesRead() const { return bytesRead_; }
    std::int64_t position() const { return position_; }
    // Bytes whose state is final (what a scan from here on no longer has to read).
    std::int64_t bytesSettled() const { return settled_; }

    // After run(): the requests that took long, in the order they came back.
    const std::vector<SlowRead>& slow() const { return slow_; }
    std::size_t slowDropped() const { return slowDropped_; }
    // Where each slow read lay: [start, end) on the device, parallel to slow().
    const std::vector<std::pair<std::int64_t, std::int64_t>>& slowRanges() const { return slowRanges_; }

private:
    struct Slot {
        SurfaceRequest request;
        std::chrono::steady_clock::time_point submitted;
        bool busy = false;
    };
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };

    bool pausedNow();
    void waitWhilePaused();
    void submitWhatCan(platform::ReadQueue& queue);
    void take(std::uint64_t tag, std::int64_t result);
    void refreshSettled();

    int fd_;
    std::string deviceName_;
    SurfaceScanSettings settings_;
    std::unique_ptr<char, Free> buffers_;
    std::vector<Slot> slots_;
    mutable std::mutex mutex_; // guards plan_
    SurfacePlan plan_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> abandon_{false};
    std::mutex pauseMutex_; // guards paused_ for the waiting below
    std::condition_variable pauseChanged_;
    bool paused_ = false;
    std::atomic<std::int64_t> bytesRead_{0};
    std::atomic<std::int64_t> position_{0};
    std::atomic<std::int64_t> settled_{0};
    std::chrono::steady_clock::time_point began_;
    std::vector<SlowRead> slow_;
    std::size_t slowDropped_ = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> slowRanges_;
};

} // namespace engine
