#include "platform/read_only_file.h"

#include "platform/read_fully_at.h"
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
    return readFullyAt(fd_.get(), offset, static_cast<char*>(out), count);
}

} // namespace platform
