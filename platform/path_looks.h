#pragma once
#include "platform/dir_listing.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// Looks at directories for a window: each look runs on a thread of its own and is given up
// after the bound, so a mount that does not answer (a dead share, a dying drive) costs the
// window that long, and an answer that comes later changes nothing.
//
// A look given up keeps its thread until the kernel lets it go, and a window asks again and
// again. So a path whose earlier look is still under way is not looked at again (no answer, at
// once), and at most kMostPerMount looks are under way on one mount: a stalled mount holds a
// bounded number of threads however often it is asked, and never stops the looks at the others.
class PathLooks {
public:
    static constexpr std::size_t kMostPerMount = 2;

    // mountinfo: where the mount table is read, to tell which mount a path is on.
    explicit PathLooks(std::chrono::milliseconds bound, std::string mountinfo = "/proc/self/mountinfo");
    PathLooks(const PathLooks&) = delete;
    PathLooks& operator=(const PathLooks&) = delete;

    // A directory, a link to one followed; no answer counts as no directory.
    bool directoryExists(const std::string& path);
    // The directory is looked up on a thread; the change to it needs no look-up. With no
    // answer the current directory stays and the result is false.
    bool setCurrentDirectory(const std::string& path);
    // As listSubdirectories; with no answer, error ETIMEDOUT and no names.
    SubdirectoryListing listSubdirectories(const std::string& path);

    // Looks given up and still under way.
    std::size_t underWay() const;

private:
    struct Desk;

    template <class T>
    std::optional<T> ask(const std::string& path, std::function<T()> question);

    std::chrono::milliseconds bound_;
    std::string mountinfo_;
    std::shared_ptr<Desk> desk_; // shared with the looks' threads, which may outlive this
};

// The mount point that holds path, told from its name alone (nothing on the path is looked
// at, which might stall): the longest mount point that is a leading part of it. A relative
// path is taken relative to the current directory.
std::string mountPointByName(const std::string& path, const std::string& mountinfo = "/proc/self/mountinfo");

} // namespace platform
