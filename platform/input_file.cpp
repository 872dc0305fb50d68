#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
