#include "platform/file_reader.h"

#include "platform/unique_fd.h"
#include "platform/writer_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

namespace {

void dropCachedPages(int fd, off_t length)
{
    ::sync_file_range(fd, 0, length, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    ::posix_fadvise(fd, 0, length, POSIX_FADV_DONTNEED);
}

// Buffered reads must not be served from what the cache holds, nor fill it: the quick test
// drops the first page and turns readahead off (or each file would cost 128 KiB of it).
void prepareCachedReads(int fd, ReadPattern pattern)
{
    if (pattern == ReadPattern::FirstBytes) {
        dropCachedPages(fd, ::sysconf(_SC_PAGESIZE));
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    } else {
        dropCachedPages(fd, 0);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
}

int openNoAtime(int dirfd, const std::string& name, int flags)
{
    int fd = ::openat(dirfd, name.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) // only the owner may ask for no access-time update
        fd = ::openat(dirfd, name.c_str(), flags);
    return fd;
}

// Some filesystems refuse O_DIRECT already at the open.
int openPreferDirect(int dirfd, const std::string& name, int flags, bool& direct)
{
    int fd = openNoAtime(dirfd, name, flags | O_DIRECT);
    direct = fd >= 0;
    if (fd < 0 && errno == EINVAL)
        fd = openNoAtime(dirfd, name, flags);
    return fd;
}

} // namespace

ReadFile::ReadFile() = default;

ReadFile::~ReadFile()
{
    close();
}

ReadFile::ReadFile(ReadFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), openError_(other.openError_), direct_(other.direct_), pattern_(other.pattern_),
      sizeAtOpen_(other.sizeAtOpen_)
{}

ReadFile& ReadFile::operator=(ReadFile&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        openError_ = other.openError_;
        direct_ = other.direct_;
        pattern_ = other.pattern_;
        sizeAtOpen_ = other.sizeAtOpen_;
    }
    return *this;
}

OpenResult ReadFile::open(const std::string& path, ReadPattern pattern, bool followLink)
{
    return openAt(AT_FDCWD, path, pattern, followLink);
}

OpenResult ReadFile::openAt(int dirfd, const std::string& name, ReadPattern pattern, bool followLink)
{
    close();
    // O_NONBLOCK keeps the open of a FIFO from blocking for ever; it is cleared once the
    // file is known to be regular, since queued reads would otherwise be refused with EAGAIN.
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    bool direct = false;
    UniqueFd fd(openPreferDirect(dirfd, name, flags, direct));
    // The error is kept before anything else may change errno (closing the file included).
    auto refused = [this](OpenResult result, int error) {
        openError_ = error;
        return result;
    };
    if (!fd)
        return refused(OpenResult::Failed, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return refused(OpenResult::NotRegular, errno);
    if (!S_ISREG(st.st_mode))
        return refused(OpenResult::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (heldByWriter(fd.get()))
        return refused(OpenResult::HeldByWriter, EBUSY);
    int setFlags = ::fcntl(fd.get(), F_GETFL);
    if (setFlags >= 0)
        ::fcntl(fd.get(), F_SETFL, setFlags & ~O_NONBLOCK);
    if (!direct)
        prepareCachedReads(fd.get(), pattern);
    fd_ = fd.release();
    openError_ = 0;
    direct_ = direct;
    pattern_ = pattern;
    sizeAtOpen_ = st.st_size;
    return OpenResult::Opened;
}

bool ReadFile::fallBackToCachedReads()
{
    if (fd_ < 0)
        return false;
    if (direct_) {
        int flags = ::fcntl(fd_, F_GETFL);
        if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0)
            return false;
        direct_ = false;
        prepareCachedReads(fd_, pattern_);
    }
    return true;
}

void ReadFile::close()
{
    if (fd_ >= 0) {
        if (!direct_)
            ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED); // a test must not flood the cache
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace platform
