#pragma once
#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// The threads of this process now.
int threadsOfThisProcess();

// Watches the memory of this process's descendants while it lives: the peak resident set of
// each one (the kernel's own high-water mark), sampled often enough to see processes that
// live for a fraction of a second. The rusage of waited-for children cannot tell one child
// from another, nor a child's own pages from those it held when it was made.
class DescendantMemory {
public:
    DescendantMemory();
    ~DescendantMemory();
    DescendantMemory(const DescendantMemory&) = delete;
    DescendantMemory& operator=(const DescendantMemory&) = delete;

    // The largest peak seen, in KiB, and the status lines of that process when it was seen.
    long peakKib() const;
    std::string peakDescription() const;

private:
    void sample();

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    long peakKib_ = 0;
    std::string description_;
    std::thread thread_;
};

} // namespace testing_support
