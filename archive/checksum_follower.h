#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace archive {

// Computes the member checksum of a buffer on a second thread while the buffer is still
// being filled, so that inflating a large member and checking it take about the time of the
// slower of the two instead of their sum. The checksum is a chain of dependent steps, one
// per byte; it cannot be split, only overlapped. The buffer must not move while it is
// followed.
class ChecksumFollower {
public:
    explicit ChecksumFollower(const std::uint8_t* data);
    ~ChecksumFollower();
    ChecksumFollower(const ChecksumFollower&) = delete;
    ChecksumFollower& operator=(const ChecksumFollower&) = delete;

    // The first `produced` bytes are final.
    void advance(std::size_t produced);
    // No more bytes come after `total`; returns the checksum of the first `total` bytes.
    std::uint32_t finish(std::size_t total);

private:
    void follow();

    static constexpr std::size_t kDone = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
    static constexpr std::size_t kNotifyStep = 256 * 1024;

    const std::uint8_t* data_;
    std::atomic<std::size_t> produced_{0}; // kDone is set once the producer has finished
    std::size_t notified_ = 0;
    std::uint32_t crc_ = 0;
    std::thread thread_;
};

} // namespace archive
