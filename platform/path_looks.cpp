#include "platform/path_looks.h"

#include "platform/bounded_call.h"
#include "platform/filesystem.h"
#include "platform/mount_table.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <set>

namespace platform {

namespace {

bool holds(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
        (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

} // namespace

std::string mountPointByName(const std::string& path, const std::string& mountinfo)
{
    std::string absolute = !path.empty() && path[0] == '/' ? path : currentDirectory() + "/" + path;
    std::string best = "/";
    forEachMount(mountinfo, [&](libmnt_fs* fs) {
        const char* target = mnt_fs_get_target(fs);
        if (target != nullptr && std::string(target).size() > best.size() && holds(target, absolute))
            best = target;
    });
    return best;
}

struct PathLooks::Desk {
    std::mutex mutex;
    std::set<std::string> paths;                // under way
    std::map<std::string, std::size_t> onMount; // looks under way by mount point
};

PathLooks::PathLooks(std::chrono::milliseconds bound, std::string mountinfo)
    : bound_(bound), mountinfo_(std::move(mountinfo)), desk_(std::make_shared<Desk>())
{}

template <class T>
std::optional<T> PathLooks::ask(const std::string& path, std::function<T()> question)
{
    const std::string mount = mountPointByName(path, mountinfo_);
    {
        std::lock_guard lock(desk_->mutex);
        if (desk_->paths.count(path) != 0 || desk_->onMount[mount] >= kMostPerMount)
            return std::nullopt;
        desk_->paths.insert(path);
        ++desk_->onMount[mount];
    }
    return askWithin<T>(
        [desk = desk_, path, mount, question = std::move(question)] {
            T answer = question();
            std::lock_guard lock(desk->mutex);
            desk->paths.erase(path);
            if (--desk->onMount[mount] == 0)
                desk->onMount.erase(mount);
            return answer;
        },
        bound_);
}

bool PathLooks::directoryExists(const std::string& path)
{
    if (path.empty())
        return false;
    return ask<bool>(path, [path] { return platform::directoryExists(path); }).value_or(false);
}

bool PathLooks::setCurrentDirectory(const std::string& path)
{
    if (path.empty())
        return false;
    auto opened = ask<std::shared_ptr<UniqueFd>>(
        path, [path] { return std::make_shared<UniqueFd>(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)); });
    return opened && *opened && **opened && ::fchdir((*opened)->get()) == 0;
}

SubdirectoryListing PathLooks::listSubdirectories(const std::string& path)
{
    auto listing = ask<SubdirectoryListing>(path, [path] { return platform::listSubdirectories(path); });
    return listing ? std::move(*listing) : SubdirectoryListing{{}, ETIMEDOUT};
}

std::size_t PathLooks::underWay() const
{
    std::lock_guard lock(desk_->mutex);
    return desk_->paths.size();
}

} // namespace platform
