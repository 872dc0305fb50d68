#include "platform/directory_warmer.h"

#include "platform/directory_entry.h"
#include "platform/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <climits>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {

constexpr int kStatusFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr unsigned kStatusMask = STATX_TYPE | STATX_SIZE | STATX_INO | STATX_MNT_ID;

} // namespace

struct DirectoryWarmer::Shared {
    dev_t device = 0;
    std::optional<std::uint64_t> mount;
    std::mutex mutex;
    std::deque<std::string> queue;
    int threads = 0;
    std::atomic<bool> stopped{false}; // read by the threads between entries without the lock

    std::optional<std::string> take()
    {
        std::lock_guard lock(mutex);
        if (stopped || queue.empty()) {
            --threads;
            return std::nullopt;
        }
        std::string path = std::move(queue.front());
        queue.pop_front();
        return path;
    }

    bool onThisMount(int fd) const
    {
        struct statx sx {};
        if (::statx(fd, "", AT_EMPTY_PATH | kStatusFlags, kStatusMask, &sx) != 0)
            return false;
        if (makedev(sx.stx_dev_major, sx.stx_dev_minor) != device)
            return false;
        return !mount || (sx.stx_mask & STATX_MNT_ID) == 0 || sx.stx_mnt_id == *mount;
    }

    // The listing and every entry's status, as the walk will ask for them.
    void warmOne(const std::string& path)
    {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (!fd || !onThisMount(fd.get()))
            return;
        DIR* dir = ::fdopendir(fd.get());
        if (dir == nullptr)
            return;
        int dirFd = fd.release();
        struct statx sx {};
        while (dirent* e = ::readdir(dir)) {
            if (!isDotOrDotDot(e->d_name))
                ::statx(dirFd, e->d_name, kStatusFlags, kStatusMask, &sx);
            if (stopped.load())
                break;
        }
        ::closedir(dir);
    }

    static void run(const std::shared_ptr<Shared>& self)
    {
        while (auto path = self->take())
            self->warmOne(*path);
    }
};

DirectoryWarmer::DirectoryWarmer(dev_t device, std::optional<std::uint64_t> mount) : shared_(std::make_shared<Shared>())
{
    shared_->device = device;
    shared_->mount = mount;
}

DirectoryWarmer::~DirectoryWarmer()
{
    std::lock_guard lock(shared_->mutex);
    shared_->stopped = true;
    shared_->queue.clear();
}

void DirectoryWarmer::warmNext(const std::vector<std::string>& paths)
{
    std::lock_guard lock(shared_->mutex);
    auto& queue = shared_->queue;
    std::size_t at = 0;
    for (const std::string& path : paths) {
        if (at == kQueued)
            break;
        if (!path.empty() && path.size() < PATH_MAX)
            queue.insert(queue.begin() + static_cast<std::ptrdiff_t>(at++), path);
    }
    if (queue.size() > kQueued)
        queue.resize(kQueued);
    while (shared_->threads < std::min<int>(kThreads, static_cast<int>(queue.size()))) {
        try {
            std::thread([self = shared_] { Shared::run(self); }).detach();
            ++shared_->threads;
        } catch (const std::system_error&) {
            return; // no thread to be had now: the walk lists them itself
        }
    }
}

} // namespace platform
