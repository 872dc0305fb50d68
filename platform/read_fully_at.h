#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace platform {

// Reads up to length bytes at offset, going on after short reads and interruptions; the
// bytes read (fewer only at the end of the file), or -1 with errno set.
inline std::int64_t readFullyAt(int fd, std::int64_t offset, char* buffer, std::size_t length)
{
    std::size_t got = 0;
    while (got < length) {
        ssize_t n = ::pread(fd, buffer + got, length - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}

} // namespace platform
