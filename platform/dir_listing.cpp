#include "platform/dir_listing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace platform {

bool DirListing::first(const std::string& path)
{
    close();
    std::string listed = path.empty() ? std::string("/") : path;
    int fd = ::open(listed.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    dir_ = ::fdopendir(fd);
    if (dir_ == nullptr) {
        ::close(fd);
        return false;
    }
    return advance();
}

bool DirListing::next()
{
    return dir_ != nullptr && advance();
}

void DirListing::close()
{
    if (dir_ != nullptr) {
        ::closedir(dir_);
        dir_ = nullptr;
    }
}

bool DirListing::advance()
{
    while (dirent* e = ::readdir(dir_)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir_), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished since it was listed
        bool isDir = S_ISDIR(st.st_mode);
        if (!isDir && !S_ISREG(st.st_mode))
            continue;
        if (device_ && static_cast<unsigned long>(st.st_dev) != *device_)
            continue;
        entry_.name = e->d_name;
        entry_.attributes = isDir ? kAttrDirectory : kAttrArchive;
        if (e->d_name[0] == '.')
            entry_.attributes |= kAttrHidden;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            entry_.attributes |= kAttrReadOnly;
        entry_.size = isDir ? 0 : static_cast<std::int64_t>(st.st_size);
        return true;
    }
    return false;
}

std::optional<DirEntry> lookUpFile(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    auto slash = path.find_last_of('/');
    DirEntry entry;
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    entry.attributes = kAttrArchive;
    entry.size = static_cast<std::int64_t>(st.st_size);
    return entry;
}

} // namespace platform
