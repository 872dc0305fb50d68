#include "platform/text_file.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace platform {

TextFileRead readTextFile(const std::string& path, std::size_t limit)
{
    TextFileRead out;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            out.error = errno;
        out.exists = errno != ENOENT;
        return out;
    }
    out.exists = true;
    out.regular = S_ISREG(st.st_mode);
    if (!out.regular)
        return out;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        out.error = errno;
        return out;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.error = errno;
            return out;
        }
        if (n == 0)
            return out;
        if (out.content.size() + static_cast<std::size_t>(n) > limit) {
            out.error = EFBIG;
            return out;
        }
        out.content.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace platform
