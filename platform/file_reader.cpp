#include "platform/file_reader.h"

#include <fcntl.h>
#include <unistd.h>

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
    OpenedFile opened = openFileUnderTest(dirfd, name, OpenRules{.followLink = followLink, .preferDirect = true});
    openError_ = opened.error;
    if (opened.result != OpenResult::Opened)
        return opened.result;
    if (!opened.direct)
        prepareCachedReads(opened.fd.get(), pattern);
    fd_ = opened.fd.release();
    direct_ = opened.direct;
    pattern_ = pattern;
    sizeAtOpen_ = opened.size;
    return OpenResult::Opened;
}

bool ReadFile::stopDirectReads()
{
    if (fd_ < 0)
        return false;
    if (direct_) {
        int flags = ::fcntl(fd_, F_GETFL);
        if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0)
            return false;
        direct_ = false;
    }
    return true;
}

void ReadFile::writeBackAndDropCache() const
{
    if (fd_ >= 0)
        prepareCachedReads(fd_, pattern_);
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
