#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

namespace {

// Another process has the file open for writing when a read lease cannot be taken; where
// leases are not permitted at all (not the owner, a filesystem without leases) the probe
// tells nothing and is skipped.
bool heldByWriter(int fd)
{
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

void dropCachedPages(int fd, off_t length)
{
    ::sync_file_range(fd, 0, length, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    ::posix_fadvise(fd, 0, length, POSIX_FADV_DONTNEED);
}

int openNoAtime(int dirfd, const std::string& path, int flags)
{
    int fd = ::openat(dirfd, path.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) // only the owner may ask for no access-time update
        fd = ::openat(dirfd, path.c_str(), flags);
    return fd;
}

} // namespace

ReadFile::ReadFile(ReadFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ReadFile& ReadFile::operator=(ReadFile&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

OpenResult ReadFile::open(const std::string& path, ReadPattern pattern, bool followLink)
{
    return openAt(AT_FDCWD, path, pattern, followLink);
}

OpenResult ReadFile::openAt(int dirfd, const std::string& path, ReadPattern pattern, bool followLink)
{
    close();
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    int fd = openNoAtime(dirfd, path, flags);
    if (fd < 0)
        return OpenResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenResult::NotRegular;
    }
    if (heldByWriter(fd)) {
        ::close(fd);
        return OpenResult::HeldByWriter;
    }
    if (pattern == ReadPattern::FirstBytes) {
        dropCachedPages(fd, ::sysconf(_SC_PAGESIZE));
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    } else {
        dropCachedPages(fd, 0);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    fd_ = fd;
    return OpenResult::Opened;
}

std::int64_t ReadFile::read(void* buffer, std::size_t count)
{
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

void ReadFile::close()
{
    if (fd_ >= 0) {
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace platform
