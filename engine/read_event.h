#pragma once
#include "engine/hash_algorithms.h"

#include <cstdint>
#include <memory>

namespace engine {

inline constexpr std::int64_t kChunkSize = 65536;
inline constexpr std::int64_t kQuickTestBytes = 2;

// What the reader tells the engine about one file, in order.
struct ReadEvent {
    enum class Kind {
        OpenFailed, // cannot be opened, is no regular file, or another process writes it
        Chunk,      // units of the file read (the first one also says the open succeeded)
        ReadFailed, // a read failed
        Slow,       // a request of offset took seconds: no failure, and not in file order
        BadRange,   // after ReadFailed, when mapping: bytes from offset could not be read
        MapDone,    // the map of the damage reached the end of the file
        Hashed,     // when hashing: the file was read whole, and these are its digests
    };
    Kind kind = Kind::Chunk;
    std::int64_t bytes = 0;
    int error = 0;                                    // errno of a failed open or read
    std::int64_t offset = 0;                          // where the failed read began: the first block that failed
    double seconds = 0;                               // Slow: how long the request took
    std::shared_ptr<const Digests> digests = nullptr; // Hashed
    // Chunk: the 64 KiB units that one completed request gave, told together; every one but
    // the last is whole, and bytes is their sum.
    std::int64_t units = 1;
};

} // namespace engine
