#include "platform/writer_probe.h"

#include <fcntl.h>

#include <cerrno>

namespace platform {

bool heldByWriter(int fd)
{
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

} // namespace platform
