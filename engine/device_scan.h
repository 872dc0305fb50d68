#pragma once
#include "engine/damage_map.h"
#include "engine/findings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// What a finished surface scan of a device found, in the terms of the window's result.
struct DeviceScanFindings {
    std::size_t badAreas = 0;
    std::vector<Finding> damagedFiles; // device order, each once, with the bad ranges inside it
    std::vector<SlowRead> slow;
    std::size_t slowDropped = 0;
    std::vector<DamageHit> hits;
    std::size_t hitsDropped = 0;
};

// A surface scan of one block device for the window: read front to back and then the
// damage mapped to what lies there, each on a thread of its own so that the caller's thread
// only looks at the progress. wake is called from those threads when a step has ended.
class DeviceScan {
public:
    virtual ~DeviceScan() = default;

    // Empty when the device is open for reading, else the message for the user.
    virtual std::string open(const std::string& devicePath) = 0;
    virtual std::int64_t size() const = 0;

    virtual void startReading(std::function<void()> wake) = 0;
    virtual bool readingEnded() const = 0;
    virtual std::int64_t position() const = 0;
    virtual std::int64_t bytesRead() const = 0;
    // Bytes whose state is final.
    virtual std::int64_t bytesSettled() const = 0;

    virtual void startMapping(std::function<void()> wake) = 0;
    virtual bool mappingEnded() const = 0;

    // Holds the reading (what is in flight still comes back) or lets it go on.
    virtual void pause(bool paused) = 0;
    // Asks the step under way to end soon; a read or a walk stalled in the kernel may not.
    virtual void stop() = 0;
    // After readingEnded() and mappingEnded().
    virtual DeviceScanFindings findings() const = 0;
};

using DeviceScanFactory = std::function<std::unique_ptr<DeviceScan>()>;

} // namespace engine
