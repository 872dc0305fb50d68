#include "platform/dir_listing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace platform {

std::optional<DirEntry> lookUpFile(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    auto slash = path.find_last_of('/');
    DirEntry entry;
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    entry.size = static_cast<std::int64_t>(st.st_size);
    return entry;
}

} // namespace platform
