#include "platform/file_under_test.h"

#include "platform/writer_probe.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace platform {

namespace {

// The status flags an open ended with, so that O_NONBLOCK can be cleared without asking.
struct OpenFlags {
    bool direct = false;
    bool noAtime = false;
};

int openNoAtime(int dirfd, const std::string& name, int flags, OpenFlags& got)
{
    int fd = ::openat(dirfd, name.c_str(), flags | O_NOATIME);
    got.noAtime = fd >= 0;
    if (fd < 0 && errno == EPERM) // only the owner may ask for no access-time update
        fd = ::openat(dirfd, name.c_str(), flags);
    return fd;
}

// Some filesystems refuse O_DIRECT already at the open.
int openPreferDirect(int dirfd, const std::string& name, int flags, OpenFlags& got)
{
    int fd = openNoAtime(dirfd, name, flags | O_DIRECT, got);
    got.direct = fd >= 0;
    if (fd < 0 && errno == EINVAL)
        fd = openNoAtime(dirfd, name, flags, got);
    return fd;
}

OpenedFile refused(OpenResult result, int error)
{
    OpenedFile file;
    file.result = result;
    file.error = error;
    return file;
}

} // namespace

OpenedFile openFileUnderTest(int dirfd, const std::string& name, OpenRules rules)
{
    // O_NONBLOCK keeps the open of a FIFO from blocking for ever; it is cleared once the
    // file is known to be regular, since queued reads would otherwise be refused with EAGAIN.
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (rules.followLink ? 0 : O_NOFOLLOW);
    OpenFlags got;
    UniqueFd fd(rules.preferDirect ? openPreferDirect(dirfd, name, flags, got) : openNoAtime(dirfd, name, flags, got));
    // Each refusal takes errno before the refused descriptor is closed.
    if (!fd)
        return refused(OpenResult::Failed, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return refused(OpenResult::NotRegular, errno);
    if (!S_ISREG(st.st_mode))
        return refused(OpenResult::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (heldByWriter(fd.get()))
        return refused(OpenResult::HeldByWriter, EBUSY);
    // F_SETFL replaces all the flags it may change: the ones the open set stay.
    ::fcntl(fd.get(), F_SETFL, (got.direct ? O_DIRECT : 0) | (got.noAtime ? O_NOATIME : 0));
    OpenedFile file;
    file.result = OpenResult::Opened;
    file.fd = std::move(fd);
    file.direct = got.direct;
    file.size = static_cast<std::int64_t>(st.st_size);
    return file;
}

} // namespace platform
