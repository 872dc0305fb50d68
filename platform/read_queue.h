#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

struct ReadDone {
    std::uint64_t tag = 0;
    std::int64_t result = 0; // bytes read, or -errno
};

// Reads with several requests in flight: io_uring where the kernel offers it (it may be
// disabled, or refused by a container's seccomp filter), otherwise a small pool of threads
// that each run one blocking pread. One owner thread submits and waits; any thread may wake
// it. The owner keeps every buffer valid until its request's result came back, and does not
// destroy the queue while a request is in flight.
class ReadQueue {
public:
    virtual ~ReadQueue() = default;
    // Reads length bytes at offset of fd into buffer; the result comes out of wait() with tag.
    virtual void submit(int fd, void* buffer, std::size_t length, std::int64_t offset, std::uint64_t tag) = 0;
    // Sends what was submitted, then waits until results come, wake() is called or timeout
    // has passed; appends the results to done.
    virtual void wait(std::vector<ReadDone>& done, std::chrono::milliseconds timeout) = 0;
    // Any thread: makes the wait() under way, or the next one, return.
    virtual void wake() = 0;
    // Nobody wants the result of tag any more (it still comes); a thread stuck in it must not
    // hold up the other requests.
    virtual void forget(std::uint64_t tag) = 0;
    virtual bool usesIoUring() const = 0;
};

// depth: how many requests may be in flight at once.
std::unique_ptr<ReadQueue> makeReadQueue(unsigned depth, bool allowIoUring);
std::unique_ptr<ReadQueue> makeUringReadQueue(unsigned depth); // null where unavailable
std::unique_ptr<ReadQueue> makeThreadReadQueue(unsigned depth);

} // namespace platform
