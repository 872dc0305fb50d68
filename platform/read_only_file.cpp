#include "platform/read_only_file.h"

#include "platform/writer_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

ReadOnlyFile::Open ReadOnlyFile::open(const std::string& path)
{
    close();
    // O_NONBLOCK keeps a FIFO swapped in for the file from blocking the open for ever.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return Open::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Open::Failed;
    if (!S_ISREG(st.st_mode))
        return Open::NotRegular;
    if (heldByWriter(fd.get()))
        return Open::HeldByWriter;
    fd_ = std::move(fd);
    size_ = static_cast<std::int64_t>(st.st_size);
    return Open::Opened;
}

std::int64_t ReadOnlyFile::readAt(std::int64_t offset, void* out, std::size_t count) const
{
    if (offset < 0)
        return -1;
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

} // namespace platform
