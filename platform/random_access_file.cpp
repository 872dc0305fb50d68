#include "platform/random_access_file.h"

#include "platform/read_fully_at.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

RandomAccessFile RandomAccessFile::open(const std::string& path, bool fromMedium)
{
    RandomAccessFile f;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return f;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return f;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return f;
    }
    if (fromMedium)
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
    f.fd_ = std::move(fd);
    return f;
}

std::int64_t RandomAccessFile::readAt(std::int64_t offset, char* buffer, std::size_t length) const
{
    return readFullyAt(fd_.get(), offset, buffer, length);
}

SpoolFile SpoolFile::create()
{
    SpoolFile s;
    const char* dir = std::getenv("TMPDIR");
    UniqueFd fd(::open(dir && *dir ? dir : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!fd) {
        char name[] = "/tmp/vorkan-spool-XXXXXX";
        fd = UniqueFd(::mkostemp(name, O_CLOEXEC));
        if (!fd)
            return s;
        ::unlink(name);
    }
    s.writer_ = UniqueFd(::dup(fd.get()));
    s.file_.fd_ = std::move(fd);
    return s;
}

bool SpoolFile::append(std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::pwrite(writer_.get(), data.data(), data.size(), static_cast<off_t>(size_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        size_ += n;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string canonicalPath(const std::string& path)
{
    char* resolved = ::realpath(path.empty() ? "/" : path.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

} // namespace platform
