#pragma once
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

namespace engine {

// The buffers of the requests in flight: a fixed number of small ones (a 64 KiB unit or
// less: small files, the quick test) and of large ones, aligned for direct reads and taken
// last-in first-out, so that memory in use stays what the most requests at once needed.
class ReadBuffers {
public:
    ReadBuffers(std::size_t smallCount, std::size_t smallSize, std::size_t largeCount, std::size_t largeSize);

    // Null when every buffer that fits is taken.
    char* take(std::size_t length);
    void give(char* buffer, std::size_t length);
    bool fits(std::size_t length) const { return length <= largeSize_; }

private:
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    std::size_t smallSize_;
    std::size_t largeSize_;
    std::unique_ptr<char, Free> smallArea_;
    std::unique_ptr<char, Free> largeArea_;
    std::vector<char*> smallFree_;
    std::vector<char*> largeFree_;
};

} // namespace engine
