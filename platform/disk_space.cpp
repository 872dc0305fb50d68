#include "platform/disk_space.h"

#include <sys/statvfs.h>

namespace platform {

namespace {

bool query(const std::string& path, struct statvfs& out)
{
    return ::statvfs(path.empty() ? "/" : path.c_str(), &out) == 0;
}

} // namespace

std::int64_t diskSize(const std::string& path)
{
    struct statvfs st {};
    if (!query(path, st))
        return -1;
    return static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
}

std::int64_t diskFree(const std::string& path)
{
    struct statvfs st {};
    if (!query(path, st))
        return -1;
    return static_cast<std::int64_t>(st.f_bfree) * static_cast<std::int64_t>(st.f_frsize);
}

} // namespace platform
