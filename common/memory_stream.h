#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace common {

using ByteBuffer = std::vector<std::uint8_t>;

// A growable byte buffer with a read/write position, the shape in which the archive module
// hands out extracted members. Its storage is reused from one use to the next: clear()
// keeps the capacity.
class MemoryStream {
public:
    std::size_t size() const { return bytes_.size(); }
    std::size_t position() const { return position_; }
    void seek(std::size_t position) { position_ = std::min(position, bytes_.size()); }
    std::size_t remaining() const { return bytes_.size() - position_; }

    void clear()
    {
        bytes_.clear();
        position_ = 0;
    }

    // Copies up to count bytes from the position on and advances; returns how many.
    std::size_t read(void* out, std::size_t count)
    {
        std::size_t n = std::min(count, remaining());
        if (n > 0)
            std::memcpy(out, bytes_.data() + position_, n);
        position_ += n;
        return n;
    }

    // Writes at the position, growing the stream as needed.
    void write(const void* data, std::size_t count)
    {
        if (count == 0)
            return;
        if (position_ + count > bytes_.size())
            bytes_.resize(position_ + count);
        std::memcpy(bytes_.data() + position_, data, count);
        position_ += count;
    }

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::span<const std::uint8_t> unread() const { return std::span<const std::uint8_t>(bytes_).subspan(position_); }
    ByteBuffer& storage() { return bytes_; }

private:
    ByteBuffer bytes_;
    std::size_t position_ = 0;
};

} // namespace common
