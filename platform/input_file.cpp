#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

FileIdentity identityFrom(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace

std::optional<FileIdentity> identityOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return identityFrom(st);
}

std::optional<FileIdentity> identityOfDescriptor(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return identityFrom(st);
}

WholeFile readWholeFile(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& content, int& error)
{
    error = 0;
    content.clear();
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        error = errno;
        return WholeFile::CannotOpen;
    }
    if (!S_ISREG(st.st_mode))
        return WholeFile::NotRegular;
    if (st.st_size > limit)
        return WholeFile::TooLarge;
    content.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == content.size()) {
            if (static_cast<std::int64_t>(have) > limit)
                return WholeFile::TooLarge;
            content.resize(std::min<std::size_t>(have * 2 + 4096, static_cast<std::size_t>(limit) + 1));
        }
        ssize_t n = ::read(fd.get(), content.data() + have, content.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return WholeFile::ReadFailed;
        }
        if (n == 0)
            break;
        have += static_cast<std::size_t>(n);
    }
    content.resize(have);
    return WholeFile::Read;
}

InputFile InputFile::open(const std::string& path)
{
    InputFile file;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd && ::fstat(fd.get(), &st) == 0) {
        file.fd_ = std::move(fd);
        file.size_ = static_cast<std::int64_t>(st.st_size);
        file.identity_ = identityFrom(st);
    }
    return file;
}

ssize_t InputFile::read(char* buffer, std::size_t length)
{
    for (;;) {
        ssize_t n = ::read(fd_.get(), buffer, length);
        if (n >= 0 || errno != EINTR)
            return n < 0 ? -1 : n;
    }
}

} // namespace platform
