#include "platform/tree_walk.h"

#include "platform/directory_entry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <iterator>

namespace platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
constexpr unsigned kStatxMask = STATX_TYPE | STATX_SIZE | STATX_INO | STATX_MNT_ID;

// What the walk needs to know of one entry or directory.
struct Identity {
    mode_t mode = 0;
    std::int64_t size = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    std::optional<std::uint64_t> mount;
};

void fillIdentity(const struct statx& sx, Identity& id)
{
    id.mode = sx.stx_mode;
    id.size = static_cast<std::int64_t>(sx.stx_size);
    id.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    id.ino = static_cast<ino_t>(sx.stx_ino);
    if ((sx.stx_mask & STATX_MNT_ID) != 0)
        id.mount = sx.stx_mnt_id;
}

// errno when it fails. AT_NO_AUTOMOUNT: looking must not mount anything.
int identify(int dirFd, const char* name, int flags, Identity& id)
{
    struct statx sx {};
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &sx) != 0)
        return errno;
    fillIdentity(sx, id);
    return 0;
}

} // namespace

struct TreeWalker::Level {
    std::size_t pathLength = 0; // of its path, which is where path_ ends while it is the deepest
    std::string name;           // in the parent; unused for the root
    dev_t dev = 0;
    ino_t ino = 0;
    UniqueFd fd; // closed while out of the window of open descriptors
    // Found by the listing; those from nextSubdir on are not yet walked. Not a deque: an
    // empty one still holds a block, and a deep walk has a level per directory above it.
    std::vector<std::string> subdirs;
    std::size_t nextSubdir = 0;
};

// The stream over the entries of the deepest directory; it owns a descriptor of its own.
// Entries are taken a batch at a time, their statuses asked for together.
struct TreeWalker::Listing {
    explicit Listing(DIR* d) : dir(d) {}
    ~Listing() { ::closedir(dir); }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    DIR* dir;
    std::vector<std::string> names;
    std::vector<unsigned char> types; // d_type of each name, DT_UNKNOWN where not told
    std::vector<StatusBatch::Status> statuses;
    std::size_t next = 0;
    bool exhausted = false;
    int readError = 0; // of the listing itself
};

TreeWalker::TreeWalker(std::string root, int openDirectoryLimit, StatusAsking asking, bool warmAhead)
    : root_(std::move(root)), limit_(openDirectoryLimit < 2 ? 2 : openDirectoryLimit), statuses_(asking),
      warmAhead_(warmAhead)
{}

TreeWalker::~TreeWalker() = default;

int TreeWalker::fileDirectory() const
{
    return levels_.empty() ? -1 : levels_.back()->fd.get();
}

int TreeWalker::openDirectories() const
{
    return (listing_ ? 1 : 0) + static_cast<int>(openLevels_.size());
}

std::optional<WalkEntry> TreeWalker::next()
{
    if (!started_) {
        started_ = true;
        return beginRoot();
    }
    if (levels_.empty())
        return std::nullopt;
    if (listing_)
        return listNext();
    return descendOrLeave();
}

std::optional<WalkEntry> TreeWalker::beginRoot()
{
    // The root is the directory the user named, so a link to it is followed.
    std::string opened = root_.empty() ? std::string("/") : root_;
    UniqueFd fd(::open(opened.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    Identity id;
    int error = fd ? identify(fd.get(), "", AT_EMPTY_PATH, id) : errno;
    UniqueFd listed(error == 0 ? ::dup(fd.get()) : -1);
    DIR* dir = listed ? ::fdopendir(listed.get()) : nullptr;
    if (dir == nullptr)
        return WalkEntry{WalkEntry::Kind::DirectoryFailed, root_, 0, error != 0 ? error : errno};
    listed.release();
    listing_ = std::make_unique<Listing>(dir);
    rootDevice_ = id.dev;
    haveMountIds_ = id.mount.has_value();
    rootMount_ = id.mount.value_or(0);
    if (warmAhead_)
        warmer_ = std::make_unique<DirectoryWarmer>(rootDevice_, id.mount);
    auto level = std::make_unique<Level>();
    path_ = root_;
    level->pathLength = path_.size();
    level->dev = id.dev;
    level->ino = id.ino;
    levels_.push_back(std::move(level));
    setDescriptor(0, std::move(fd));
    return WalkEntry{WalkEntry::Kind::DirectoryBegin, root_, 0, 0};
}

void TreeWalker::fillBatch()
{
    Listing& l = *listing_;
    l.names.clear();
    l.types.clear();
    l.next = 0;
    while (l.names.size() < StatusBatch::kMaxNames) {
        errno = 0;
        dirent* e = ::readdir(l.dir);
        if (e == nullptr) {
            l.exhausted = true;
            l.readError = errno;
            break;
        }
        if (!isDotOrDotDot(e->d_name)) {
            l.names.emplace_back(e->d_name);
            l.types.push_back(e->d_type);
        }
    }
    statuses_.query(::dirfd(l.dir), l.names, kStatxMask, l.statuses);
}

std::optional<WalkEntry> TreeWalker::listNext()
{
    Level& top = *levels_.back();
    Listing& l = *listing_;
    for (;;) {
        if (l.next == l.names.size()) {
            if (l.exhausted)
                break;
            fillBatch();
            continue;
        }
        std::size_t i = l.next++;
        const StatusBatch::Status& status = l.statuses[i];
        if (status.error == ENOENT)
            continue; // gone since it was listed
        if (status.error != 0) {
            // The listing named it, so only this entry is lost (its inode cannot be read):
            // a directory by its listed type is tried when its turn comes, anything else
            // is a file that cannot be opened, in its place among the files.
            if (l.types[i] == DT_DIR) {
                top.subdirs.push_back(l.names[i]);
                continue;
            }
            fileName_ = l.names[i];
            return WalkEntry{WalkEntry::Kind::File, path_ + "/" + fileName_, 0, status.error};
        }
        Identity id;
        fillIdentity(status.sx, id);
        bool otherMount = id.dev != rootDevice_ || (haveMountIds_ && id.mount && *id.mount != rootMount_);
        if (otherMount)
            continue;
        if (S_ISREG(id.mode)) {
            fileName_ = l.names[i];
            return WalkEntry{WalkEntry::Kind::File, path_ + "/" + fileName_, id.size, 0};
        }
        if (S_ISDIR(id.mode))
            top.subdirs.push_back(l.names[i]);
    }
    int error = l.readError;
    listing_.reset();
    if (warmer_)
        warmSubdirectories(top);
    if (error != 0)
        return WalkEntry{WalkEntry::Kind::ListingBroken, path_, 0, error};
    return descendOrLeave();
}

void TreeWalker::warmSubdirectories(const Level& level)
{
    if (path_.size() >= PATH_MAX)
        return; // deeper than a path can name: the warmer could not open it (and copying it would cost)
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < level.subdirs.size() && i < DirectoryWarmer::kQueued; ++i)
        paths.push_back(path_ + "/" + level.subdirs[i]);
    warmer_->warmNext(paths);
}

std::optional<WalkEntry> TreeWalker::descendOrLeave()
{
    while (levels_.back()->nextSubdir < levels_.back()->subdirs.size()) {
        Level& level = *levels_.back();
        std::string name = std::move(level.subdirs[level.nextSubdir++]);
        if (level.nextSubdir == level.subdirs.size()) {
            level.subdirs = {};
            level.nextSubdir = 0;
        }
        if (auto entry = enter(name))
            return entry;
    }
    WalkEntry end{WalkEntry::Kind::DirectoryEnd, path_, 0, 0};
    reopenParentFromChild();
    setDescriptor(levels_.size() - 1, UniqueFd());
    levels_.pop_back();
    if (!levels_.empty())
        path_.resize(levels_.back()->pathLength);
    return end;
}

// DirectoryBegin, DirectoryFailed, or nothing when the name is now a mount point. The path
// of the deepest level is the one buffer path_, so a walk of any depth keeps memory that
// grows with the depth, not its square.
std::optional<WalkEntry> TreeWalker::enter(const std::string& name)
{
    auto failed = [&](int error) { return WalkEntry{WalkEntry::Kind::DirectoryFailed, path_ + "/" + name, 0, error}; };
    int parent = descriptorOf(levels_.size() - 1);
    if (parent < 0)
        return failed(errno != 0 ? errno : ESTALE);
    UniqueFd fd(withDescriptor([&] { return ::openat(parent, name.c_str(), kDirectoryFlags); }));
    if (!fd)
        return failed(errno);
    Identity id;
    if (int error = identify(fd.get(), "", AT_EMPTY_PATH, id); error != 0)
        return failed(error);
    if (id.dev != rootDevice_ || (haveMountIds_ && id.mount && *id.mount != rootMount_))
        return std::nullopt;
    UniqueFd listed(withDescriptor([&] { return ::dup(fd.get()); }));
    DIR* dir = listed ? ::fdopendir(listed.get()) : nullptr;
    if (dir == nullptr)
        return failed(errno);
    listed.release();
    path_.append("/").append(name);
    auto level = std::make_unique<Level>();
    level->pathLength = path_.size();
    level->name = name;
    level->dev = id.dev;
    level->ino = id.ino;
    levels_.push_back(std::move(level));
    setDescriptor(levels_.size() - 1, std::move(fd));
    listing_ = std::make_unique<Listing>(dir);
    keepWithinLimit();
    return WalkEntry{WalkEntry::Kind::DirectoryBegin, path_, 0, 0};
}

// Other parts of the process may hold more descriptors than the walk was told: when the
// process runs out, the walk gives back every level it can open again and tries once more,
// so that a low open-file limit costs time, never a directory.
int TreeWalker::withDescriptor(const std::function<int()>& open)
{
    int fd = open();
    if (fd >= 0 || (errno != EMFILE && errno != ENFILE))
        return fd;
    for (auto i = openLevels_.upper_bound(0); i != openLevels_.end() && *i + 1 < levels_.size();
         i = openLevels_.upper_bound(0))
        setDescriptor(*i, UniqueFd());
    return open();
}

// The root and the deepest level stay open; the shallowest of the others are closed first,
// as the walk goes back to them last.
void TreeWalker::keepWithinLimit()
{
    const std::size_t deepest = levels_.size() - 1;
    while (openDirectories() > limit_) {
        auto shallowest = openLevels_.upper_bound(0);
        if (shallowest == openLevels_.end() || *shallowest >= deepest)
            return;
        setDescriptor(*shallowest, UniqueFd());
    }
}

// Every change of a level's descriptor goes through here, so that the open ones are known
// without looking at every level: a walk thousands of levels deep must not cost the depth
// per directory.
void TreeWalker::setDescriptor(std::size_t index, UniqueFd fd)
{
    levels_[index]->fd = std::move(fd);
    if (levels_[index]->fd)
        openLevels_.insert(index);
    else
        openLevels_.erase(index);
}

int TreeWalker::descriptorOf(std::size_t index) const
{
    if (levels_[index]->fd)
        return levels_[index]->fd.get();
    return const_cast<TreeWalker*>(this)->reopen(index) ? levels_[index]->fd.get() : -1;
}

// Opens a closed level again from its nearest open ancestor, one component at a time. Each
// must still be the directory that was walked: one swapped for a link or another directory
// since then is not entered.
bool TreeWalker::reopen(std::size_t index)
{
    std::size_t open = *std::prev(openLevels_.upper_bound(index)); // the root is always open
    for (std::size_t k = open + 1; k <= index; ++k) {
        Level& level = *levels_[k];
        UniqueFd fd(::openat(levels_[k - 1]->fd.get(), level.name.c_str(), kDirectoryFlags));
        if (!fd)
            return false;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return false;
        if (st.st_dev != level.dev || st.st_ino != level.ino) {
            errno = ESTALE;
            return false;
        }
        setDescriptor(k, std::move(fd));
        if (k - 1 >= 1 && openDirectories() > limit_)
            setDescriptor(k - 1, UniqueFd()); // a deep chain must not need a descriptor per level
    }
    keepWithinLimit();
    return true;
}

// Going back up, the parent is reached through ".." of the directory left, which costs one
// open whatever the depth; when that is no longer the parent walked, the walk goes down from
// an ancestor instead.
void TreeWalker::reopenParentFromChild()
{
    if (levels_.size() < 2)
        return;
    Level& child = *levels_.back();
    Level& parent = *levels_[levels_.size() - 2];
    if (parent.fd || !child.fd)
        return;
    UniqueFd fd(::openat(child.fd.get(), "..", kDirectoryFlags));
    struct stat st {};
    if (fd && ::fstat(fd.get(), &st) == 0 && st.st_dev == parent.dev && st.st_ino == parent.ino)
        setDescriptor(levels_.size() - 2, std::move(fd));
}

} // namespace platform
