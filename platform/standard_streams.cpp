#include "platform/standard_streams.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

void reserveStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        int opened = ::open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

int writeStandardOutput(const std::string& data)
{
    if (int error = flushStandardOutput(); error != 0)
        return error;
    std::size_t written = 0;
    while (written < data.size()) {
        ssize_t n = ::write(STDOUT_FILENO, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

int flushStandardOutput()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
        return 0;
    return errno != 0 ? errno : EIO;
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

void reportBrokenPipesAsErrors()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace platform
