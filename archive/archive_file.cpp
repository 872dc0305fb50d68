#include "archive/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace archive {

bool ArchiveFile::open(const std::string& path)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    fd_ = std::move(fd);
    size_ = static_cast<std::int64_t>(st.st_size);
    return true;
}

std::int64_t ArchiveFile::readAt(std::int64_t offset, void* out, std::size_t count) const
{
    auto* p = static_cast<char*>(out);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_.get(), p + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

} // namespace archive
