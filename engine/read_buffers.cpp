#include "engine/read_buffers.h"

namespace engine {

namespace {

constexpr std::size_t kAlignment = 4096;

char* allocate(std::size_t size)
{
    return static_cast<char*>(std::aligned_alloc(kAlignment, (size + kAlignment - 1) / kAlignment * kAlignment));
}

std::vector<char*> carve(char* area, std::size_t count, std::size_t size)
{
    std::vector<char*> free;
    for (std::size_t i = count; i-- > 0;)
        free.push_back(area + i * size); // the first buffer on top
    return free;
}

} // namespace

ReadBuffers::ReadBuffers(std::size_t smallCount, std::size_t smallSize, std::size_t largeCount, std::size_t largeSize)
    : smallSize_(smallSize), largeSize_(largeSize), smallArea_(allocate(smallCount * smallSize)),
      largeArea_(allocate(largeCount * largeSize)), smallFree_(carve(smallArea_.get(), smallCount, smallSize)),
      largeFree_(carve(largeArea_.get(), largeCount, largeSize))
{}

char* ReadBuffers::take(std::size_t length)
{
    std::vector<char*>& free = length <= smallSize_ ? smallFree_ : largeFree_;
    if (free.empty() || length > largeSize_)
        return nullptr;
    char* buffer = free.back();
    free.pop_back();
    return buffer;
}

void ReadBuffers::give(char* buffer, std::size_t length)
{
    (length <= smallSize_ ? smallFree_ : largeFree_).push_back(buffer);
}

} // namespace engine
