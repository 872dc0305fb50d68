#include "platform/save_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

namespace platform {

namespace {

// Short on purpose: a target name near the 255-byte limit must still get a temporary name.
constexpr const char* kTempPrefix = ".vk";
constexpr int kTempAttempts = 64;

std::string directoryPrefix(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A new file beside path under a name nobody else uses.
UniqueFd createTemp(const std::string& path, mode_t mode, std::string& temp)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        temp = directoryPrefix(path) + kTempPrefix;
        for (int i = 0; i < 6; ++i)
            temp += kLetters[letter(pick)];
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd || errno != EEXIST)
            return fd;
    }
    return UniqueFd();
}

// Opens a device node, FIFO or (through a link) any file for writing where it is. A FIFO
// without a reader fails at once instead of blocking the program for ever.
UniqueFd openInPlace(const std::string& path, int flags, mode_t mode)
{
    UniqueFd fd(::open(path.c_str(), flags | O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
    if (fd) {
        int status = ::fcntl(fd.get(), F_GETFL);
        if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0)
            return UniqueFd();
    }
    return fd;
}

bool isRegular(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

SavedFile::SavedFile(SavedFile&& other) noexcept
    : fd_(std::move(other.fd_)), path_(std::move(other.path_)), temp_(std::exchange(other.temp_, {})),
      regular_(other.regular_), fresh_(other.fresh_), error_(other.error_)
{}

SavedFile::~SavedFile()
{
    fd_.reset();
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

bool SavedFile::fail(int error)
{
    if (error_ == 0)
        error_ = error != 0 ? error : EIO;
    return false;
}

SavedFile SavedFile::begin(const std::string& path, mode_t newMode)
{
    SavedFile s;
    s.path_ = path;
    struct stat st {};
    if (path.empty()) {
        s.fail(ENOENT);
        return s;
    }
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            s.fail(errno);
            return s;
        }
        s.fd_ = createTemp(path, newMode, s.temp_);
        s.fresh_ = static_cast<bool>(s.fd_);
        if (!s.fd_) {
            // Let the kernel say why this directory takes no file (or take it after all).
            s.temp_.clear();
            s.fd_ = openInPlace(path, O_CREAT | O_EXCL | O_NOFOLLOW, newMode);
        }
    } else if (S_ISLNK(st.st_mode)) {
        s.fd_ = openInPlace(path, O_CREAT | O_TRUNC, newMode);
    } else if (!S_ISREG(st.st_mode)) {
        s.fd_ = openInPlace(path, O_NOFOLLOW, 0);
    } else if (!s.replaceBeside(st)) {
        s.fd_ = openInPlace(path, O_TRUNC | O_NOFOLLOW, 0);
    }
    if (!s.fd_) {
        s.fail(errno);
        return s;
    }
    s.regular_ = isRegular(s.fd_.get());
    return s;
}

// Replacing keeps the target whole until the new content is complete, but only where the
// file comes out as it was: one name, same owner, group and mode, and only a file the saver
// may write anyway.
bool SavedFile::replaceBeside(const struct stat& old)
{
    if (old.st_nlink != 1 || ::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
    std::string temp;
    UniqueFd fd = createTemp(path_, 0600, temp);
    if (!fd)
        return false;
    struct stat made {};
    bool kept = ::fstat(fd.get(), &made) == 0 &&
        ((made.st_uid == old.st_uid && made.st_gid == old.st_gid) || ::fchown(fd.get(), old.st_uid, old.st_gid) == 0) &&
        ::fchmod(fd.get(), old.st_mode & 07777) == 0;
    if (!kept) {
        fd.reset();
        ::unlink(temp.c_str());
        return false;
    }
    fd_ = std::move(fd);
    temp_ = std::move(temp);
    return true;
}

bool SavedFile::write(std::string_view data)
{
    if (!fd_ || error_ != 0)
        return fail(EBADF);
    while (!data.empty()) {
        ssize_t n = ::write(fd_.get(), data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool SavedFile::commit()
{
    if (!fd_ || error_ != 0)
        return fail(EBADF);
    // Devices and FIFOs have nothing to sync, and some refuse to be asked.
    if (regular_ && ::fsync(fd_.get()) != 0)
        return fail(errno);
    if (!fd_.close())
        return fail(errno);
    if (!temp_.empty()) {
        // A new file must not replace whatever appeared under its name meanwhile.
        int rc = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), fresh_ ? RENAME_NOREPLACE : 0);
        if (rc != 0 && fresh_ && errno == EINVAL) // a filesystem without the flag
            rc = ::rename(temp_.c_str(), path_.c_str());
        if (rc != 0)
            return fail(errno);
        temp_.clear();
    }
    return true;
}

int saveFile(const std::string& path, std::string_view content, mode_t newMode)
{
    SavedFile file = SavedFile::begin(path, newMode);
    if (file.isOpen() && file.write(content))
        file.commit();
    return file.error();
}

} // namespace platform
