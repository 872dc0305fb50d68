#pragma once
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Reads ahead the listings and the entries' statuses of directories that a walk will enter
// soon, on a few threads of its own. A walk goes from one directory to the next, and on a
// cold cache each costs it a round trip to the medium for the listing and another for the
// inodes; read ahead side by side, the medium serves several directories at once and the
// walk finds them in the cache. Only the cache gains: nothing warmed is reported, a
// directory that cannot be read ahead is left to the walk, and one on another mount (told by
// device and mount ID, as the walk tells it) is not listed.
//
// Work waits in a short queue in the order the walk will need it: the subdirectories of the
// directory just listed come before everything queued earlier (a depth-first walk enters
// them first); what falls off the end is dropped. The threads end when the queue
// is empty or the warmer is gone; one stuck in the kernel is never waited for (it holds only
// what it shares with the warmer).
class DirectoryWarmer {
public:
    // The directories warmed must lie on this device and mount (no mount ID: device only).
    DirectoryWarmer(dev_t device, std::optional<std::uint64_t> mount);
    ~DirectoryWarmer();
    DirectoryWarmer(const DirectoryWarmer&) = delete;
    DirectoryWarmer& operator=(const DirectoryWarmer&) = delete;

    // The subdirectories of the directory just listed, in the order the walk enters them;
    // paths as the walk joins them. A path too long to open whole is not warmed.
    void warmNext(const std::vector<std::string>& paths);

    static constexpr int kThreads = 4;
    static constexpr std::size_t kQueued = 64;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace platform
