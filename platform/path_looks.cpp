#include "platform/path_looks.h"

#include "platform/filesystem.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <libmount/libmount.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

namespace {

struct TableDeleter {
    void operator()(libmnt_table* t) const { mnt_unref_table(t); }
};
struct IterDeleter {
    void operator()(libmnt_iter* i) const { mnt_free_iter(i); }
};

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
    std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    if (!table || mnt_table_parse_file(table.get(), mountinfo.c_str()) != 0)
        return best;
    std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt_new_iter(MNT_ITER_FORWARD));
    libmnt_fs* fs = nullptr;
    while (iter && mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
        const char* target = mnt_fs_get_target(fs);
        if (target != nullptr && std::string(target).size() > best.size() && holds(target, absolute))
            best = target;
    }
    return best;
}

struct PathLooks::Desk {
    std::mutex mutex;
    std::condition_variable answered;
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
    auto answer = std::make_shared<std::optional<T>>(); // guarded by the desk's mutex
    std::thread([desk = desk_, path, mount, answer, question = std::move(question)] {
        T got = question();
        std::lock_guard lock(desk->mutex);
        *answer = std::move(got);
        desk->paths.erase(path);
        if (--desk->onMount[mount] == 0)
            desk->onMount.erase(mount);
        desk->answered.notify_all();
    }).detach();
    std::unique_lock lock(desk_->mutex);
    desk_->answered.wait_for(lock, bound_, [&] { return answer->has_value(); });
    return *answer;
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
