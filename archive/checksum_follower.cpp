#include "archive/checksum_follower.h"

#include "common/psmath.h"

#include <span>

namespace archive {

ChecksumFollower::ChecksumFollower(const std::uint8_t* data) : data_(data), thread_([this] { follow(); }) {}

ChecksumFollower::~ChecksumFollower()
{
    if (thread_.joinable())
        finish(produced_.load() & ~kDone);
}

void ChecksumFollower::advance(std::size_t produced)
{
    produced_.store(produced, std::memory_order_release);
    if (produced - notified_ >= kNotifyStep) {
        notified_ = produced;
        produced_.notify_one();
    }
}

std::uint32_t ChecksumFollower::finish(std::size_t total)
{
    produced_.store(total | kDone, std::memory_order_release);
    produced_.notify_one();
    thread_.join();
    return crc_;
}

void ChecksumFollower::follow()
{
    std::size_t consumed = 0;
    for (;;) {
        std::size_t seen = produced_.load(std::memory_order_acquire);
        std::size_t available = seen & ~kDone;
        if (available > consumed) {
            crc_ = common::PSK_CRC32Update(crc_, std::span<const std::uint8_t>(data_ + consumed, available - consumed));
            consumed = available;
            continue;
        }
        if ((seen & kDone) != 0)
            return;
        produced_.wait(seen, std::memory_order_acquire);
    }
}

} // namespace archive
