#include "platform/fiemap.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr unsigned kExtentsPerCall = 256;
constexpr std::uint32_t kNotOnDevice =
    FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_ENCODED | FIEMAP_EXTENT_DATA_INLINE;

int extentsOf(int fd, const ExtentVisitor& visit)
{
    std::vector<char> area(sizeof(fiemap) + kExtentsPerCall * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(area.data());
    std::uint64_t start = 0;
    for (;;) {
        std::memset(area.data(), 0, area.size());
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_extent_count = kExtentsPerCall;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0)
            return errno;
        if (map->fm_mapped_extents == 0)
            return 0;
        bool last = false;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& e = map->fm_extents[i];
            if ((e.fe_flags & kNotOnDevice) == 0)
                visit({static_cast<std::int64_t>(e.fe_logical), static_cast<std::int64_t>(e.fe_physical),
                       static_cast<std::int64_t>(e.fe_length)});
            last = last || (e.fe_flags & FIEMAP_EXTENT_LAST) != 0;
            start = e.fe_logical + e.fe_length;
        }
        if (last)
            return 0;
    }
}

} // namespace

int extentsAt(int dirFd, const std::string& name, const ExtentVisitor& visit)
{
    UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return errno;
    return extentsOf(fd.get(), visit);
}

int directoryExtents(const std::string& path, const ExtentVisitor& visit)
{
    UniqueFd fd(::open(path.empty() ? "/" : path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return errno;
    return extentsOf(fd.get(), visit);
}

} // namespace platform
