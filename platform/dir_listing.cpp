#include "platform/dir_listing.h"

#include "platform/directory_entry.h"
#include "platform/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

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

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool isDirectoryEntry(int dirFd, const dirent& entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat st {}; // a link counts by what it points to
    return ::fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

SubdirectoryListing listSubdirectories(const std::string& path)
{
    SubdirectoryListing listing;
    UniqueFd fd(::open(path.empty() ? "/" : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        listing.error = errno;
        return listing;
    }
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd.get()));
    if (!dir) {
        listing.error = errno;
        return listing;
    }
    fd.release(); // the stream owns it now
    const int dirFd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            listing.error = errno;
            return listing;
        }
        if (!isDotOrDotDot(entry->d_name) && isDirectoryEntry(dirFd, *entry))
            listing.names.emplace_back(entry->d_name);
    }
}

} // namespace platform
