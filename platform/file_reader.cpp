#include "platform/file_reader.h"

#include "platform/unique_fd.h"
#include "platform/writer_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

std::int64_t alignDown(std::int64_t value, std::int64_t block)
{
    return value / block * block;
}

} // namespace

struct ReadFile::Bounce {
    explicit Bounce(std::size_t n) : size(n), data(static_cast<char*>(std::aligned_alloc(kSafeBlockSize, n))) {}
    ~Bounce() { std::free(data); }
    Bounce(const Bounce&) = delete;
    Bounce& operator=(const Bounce&) = delete;
    std::size_t size;
    char* data;
};

ReadFile::ReadFile() = default;

ReadFile::~ReadFile()
{
    close();
}

ReadFile::ReadFile(ReadFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), openError_(other.openError_), direct_(other.direct_), pattern_(other.pattern_),
      sizeAtOpen_(other.sizeAtOpen_), position_(other.position_), bounce_(std::move(other.bounce_))
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
        position_ = other.position_;
        bounce_ = std::move(other.bounce_);
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
    position_ = 0;
    return OpenResult::Opened;
}

bool ReadFile::fallBackToCachedReads()
{
    bool wasDirect = direct_;
    if (!stopDirectReads())
        return false;
    if (wasDirect)
        writeBackAndDropCache();
    return true;
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

std::int64_t ReadFile::read(void* buffer, std::size_t count)
{
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        std::int64_t n = direct_ ? readDirect(out + done, count - done) : ::read(fd_, out + done, count - done);
        if (n < 0 && errno == EINVAL && direct_ && position_ == 0 && fallBackToCachedReads())
            continue;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
        position_ += n;
    }
    return static_cast<std::int64_t>(done);
}

// Direct reads start at a block boundary and the bytes before the position are skipped. When
// such a read brings nothing new, the file ended there on a block device; some filesystems
// (FUSE) deliver the bytes before a fault and take unaligned reads, which then find it.
std::int64_t ReadFile::readDirect(char* out, std::size_t count)
{
    const auto block = static_cast<std::int64_t>(kSafeBlockSize);
    std::int64_t start = alignDown(position_, block);
    auto skip = static_cast<std::size_t>(position_ - start);
    std::size_t length = (skip + count + kSafeBlockSize - 1) / kSafeBlockSize * kSafeBlockSize;
    if (!bounce_ || bounce_->size < length)
        bounce_ = std::make_unique<Bounce>(length);
    ssize_t n = ::pread(fd_, bounce_->data, length, start);
    if (n < 0)
        return -1;
    if (static_cast<std::size_t>(n) > skip) {
        std::size_t got = std::min(count, static_cast<std::size_t>(n) - skip);
        std::memcpy(out, bounce_->data + skip, got);
        return static_cast<std::int64_t>(got);
    }
    if (skip == 0 || n == 0)
        return 0;
    n = ::pread(fd_, bounce_->data, count, position_);
    if (n < 0)
        return errno == EINVAL ? 0 : -1;
    std::memcpy(out, bounce_->data, static_cast<std::size_t>(n));
    return n;
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
