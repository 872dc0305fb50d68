#include "platform/filesystem.h"

#include "platform/ascii.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

namespace platform {

bool directoryExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

NameLookup lookUpName(const std::string& path)
{
    struct stat st {};
    if (path.empty())
        return {false, ENOENT};
    if (::lstat(path.c_str(), &st) != 0)
        return {false, errno};
    return {true, 0};
}

std::string currentDirectory()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool setCurrentDirectory(const std::string& path)
{
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

bool makeDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    if (directoryExists(path))
        return true;
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && directoryExists(path));
}

namespace {

// The error of opening the directory and reading its first entry; 0 when that works.
int listingError(const char* path)
{
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        int error = errno;
        if (fd >= 0)
            ::close(fd);
        return error;
    }
    errno = 0;
    int error = ::readdir(dir) != nullptr ? 0 : errno;
    ::closedir(dir);
    return error;
}

} // namespace

bool directoryListable(const std::string& path)
{
    return listingError(path.empty() ? "/" : path.c_str()) == 0;
}

int directoryProblem(const std::string& path)
{
    struct stat st {};
    if (path.empty())
        return ENOENT;
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    return listingError(path.c_str());
}

int fileProblem(const std::string& path)
{
    struct stat st {};
    if (path.empty())
        return ENOENT;
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    return S_ISREG(st.st_mode) ? 0 : EISDIR;
}

bool isMediumError(int error)
{
    switch (error) {
    case EIO:
    case ESTALE:
    case EUCLEAN: // a corrupted filesystem
    case EBADMSG:
    case ENODATA:
    case ETIMEDOUT:
    case EREMOTEIO:
    case ENOTCONN: // a network or FUSE filesystem whose server is gone
        return true;
    default: return false;
    }
}

int descriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

int descriptorsOpen(int limit)
{
    std::unique_ptr<DIR, DirCloser> d(::opendir("/proc/self/fd"));
    if (!d) {
        int open = 0;
        for (int fd = 0; fd < std::min(limit, 4096); ++fd)
            open += ::fcntl(fd, F_GETFD) >= 0 ? 1 : 0;
        return open;
    }
    int open = 0;
    while (dirent* e = ::readdir(d.get()))
        open += e->d_name[0] != '.' ? 1 : 0;
    return open - 1; // the listing's own
}

} // namespace

int descriptorsAvailable()
{
    int limit = descriptorLimit();
    return std::max(0, limit - descriptorsOpen(limit));
}

namespace {

std::optional<std::string> findComponent(const std::string& dir, const std::string& name)
{
    std::string exact = dir + "/" + name;
    struct stat st {};
    if (::lstat(exact.c_str(), &st) == 0)
        return name;
    std::unique_ptr<DIR, DirCloser> d(::opendir(dir.empty() ? "/" : dir.c_str()));
    if (!d)
        return std::nullopt;
    while (dirent* e = ::readdir(d.get())) {
        if (equalIgnoringAsciiCase(name, e->d_name))
            return std::string(e->d_name);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> resolveIgnoringCase(const std::string& base, const std::string& relative)
{
    std::string current = base;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        std::string part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        auto found = findComponent(current, part);
        if (!found)
            return std::nullopt;
        current += "/" + *found;
    }
    struct stat st {};
    if (::stat(current.c_str(), &st) != 0)
        return std::nullopt;
    return current;
}

} // namespace platform
