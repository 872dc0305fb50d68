#pragma once
#include "platform/directory_warmer.h"
#include "platform/status_batch.h"
#include "platform/unique_fd.h"

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform {

struct WalkEntry {
    enum class Kind {
        File,            // a regular file of the directory being listed
        DirectoryBegin,  // a directory is entered: its files and subdirectories follow
        DirectoryEnd,    // the last entry of the directory begun last
        DirectoryFailed, // a directory that could not be opened: nothing of it follows
        ListingBroken,   // the directory being listed could not be listed to its end
    };
    Kind kind = Kind::File;
    std::string path;      // as the walk joins it: the parent's path + "/" + name
    std::int64_t size = 0; // files: the listed size
    // DirectoryFailed, ListingBroken: errno; File: the errno of its status, which could
    // not be read (its size is then 0 and it cannot be opened)
    int error = 0;
};

// Depth-first walk of one directory tree in the order of a test: the regular files of a
// directory in listing order, then its subdirectories one by one, each walked whole. Only
// regular files and directories are reported: symbolic links are never followed, FIFOs,
// sockets and device nodes never reported, and nothing on another mount (told by mount ID,
// so a bind mount of the tree into itself is left out too) is entered or reported.
//
// Everything below the root is opened relative to its parent's descriptor with O_NOFOLLOW,
// so a directory swapped for a link mid-walk is not followed, and paths of any length work.
// At most a few directory descriptors are open whatever the depth: a parent whose
// descriptor was closed is opened again component by component from an ancestor and must
// still be the same directory (device and inode).
class TreeWalker {
public:
    // root: the directory as typed ("" walks "/"); the root itself may be reached by a link.
    // asking: how the statuses of a directory's entries are asked for (see StatusBatch);
    // warmAhead: the directories found are read ahead on threads of their own (see
    // DirectoryWarmer), which costs a few descriptors more.
    explicit TreeWalker(std::string root, int openDirectoryLimit = 8, StatusAsking asking = StatusAsking::Together,
                        bool warmAhead = false);
    ~TreeWalker();
    TreeWalker(const TreeWalker&) = delete;
    TreeWalker& operator=(const TreeWalker&) = delete;

    // The next entry; nullopt when the walk is over. The first entry is the root's
    // DirectoryBegin (or DirectoryFailed when the root cannot be listed).
    std::optional<WalkEntry> next();

    // After a File entry, until the next call: the descriptor of its directory and its name
    // there, to open it relative to the directory.
    int fileDirectory() const;
    const std::string& fileName() const { return fileName_; }

    // Directory descriptors open now (listing streams included), for tests of the bound.
    int openDirectories() const;

private:
    struct Level;
    struct Listing;

    std::optional<WalkEntry> beginRoot();
    std::optional<WalkEntry> listNext();
    void fillBatch();
    void warmSubdirectories(const Level& level);
    std::optional<WalkEntry> descendOrLeave();
    std::optional<WalkEntry> enter(const std::string& name);
    bool reopen(std::size_t index);
    void reopenParentFromChild();
    void keepWithinLimit();
    int withDescriptor(const std::function<int()>& open);
    int descriptorOf(std::size_t index) const;
    void setDescriptor(std::size_t index, UniqueFd fd);

    std::string root_;
    int limit_;
    bool started_ = false;
    std::uint64_t rootMount_ = 0;
    bool haveMountIds_ = false;
    dev_t rootDevice_ = 0;
    std::vector<std::unique_ptr<Level>> levels_; // root first
    std::unique_ptr<Listing> listing_;           // of the deepest level, while its files come
    std::string path_;                           // of the deepest level
    std::set<std::size_t> openLevels_;           // indices of the levels whose descriptor is open
    StatusBatch statuses_;
    bool warmAhead_;
    std::unique_ptr<DirectoryWarmer> warmer_; // from the root's DirectoryBegin on, when warming ahead
    std::string fileName_;
};

} // namespace platform
