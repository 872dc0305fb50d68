#pragma once
#include <atomic>
#include <cstdint>

namespace engine {

// The bytes of completed read requests, counted by the reader's own thread the moment the
// medium delivers them, not when the engine gets round to them in walk order (the reader
// reads ahead, so the two can be seconds apart). The engine takes the difference at each
// tick; anything else that wants what arrived and when (hashing, a device scan) meets the
// reader here. Shared with the reader threads, which may outlive a run.
class ReadTally {
public:
    void add(std::int64_t bytes) { bytes_.fetch_add(bytes, std::memory_order_relaxed); }
    std::int64_t total() const { return bytes_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> bytes_{0};
};

} // namespace engine
