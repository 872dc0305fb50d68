// vorkan-faultfs: a read-only FUSE filesystem that serves a described tree and fails reads on
// purpose, so the tests can meet broken media without broken hardware.
//
//   vorkan-faultfs [--tree FILE]... [--entry LINE]... [--read-delay MS] [--log-reads]
//                  [--root-stall SECONDS] [--stubborn] [--whole-requests]
//                  [FUSE options] MOUNTPOINT
//
// --read-delay: every read waits MS before it answers (reads are served side by side);
// --log-reads: every read answered is logged with the CLOCK_MONOTONIC time in ms;
// --root-stall: every look at the root's attributes and the filesystem's status sleeps;
// --stubborn: stalls do not end when the reading process dies, as a medium stuck in the
// kernel would not let it go; --whole-requests: reads of up to 1 MiB come as one request.
//
// Every fault that strikes is written as one line to standard error, so a test can wait for
// a read to be stalled before it acts.
#define FUSE_USE_VERSION 312
#include "tree.h"

#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Behaviour {
    int readDelayMs = 0;
    bool logReads = false;
    int rootStallSeconds = 0;
    bool stubborn = false;
    bool wholeRequests = false;
};
Behaviour behaviour; // set once by main before the filesystem serves

const faultfs::Tree& tree()
{
    return *static_cast<const faultfs::Tree*>(fuse_get_context()->private_data);
}

void logEvent(const std::string& text)
{
    std::fprintf(stderr, "vorkan-faultfs: %s\n", text.c_str());
    std::fflush(stderr);
}

// True when the thread with this id has been killed (SIGKILL pending, as the kernel marks
// every thread of a dying process).
bool threadIsDying(pid_t tid)
{
    std::ifstream status("/proc/" + std::to_string(tid) + "/status");
    if (!status)
        return true;
    const unsigned long long kill = 1ULL << (SIGKILL - 1);
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0) {
            if ((std::stoull(line.substr(7), nullptr, 16) & kill) != 0)
                return true;
        }
    }
    return false;
}

// A stalled medium does not answer signals: an interrupted read keeps stalling, so a
// program cannot get out of it by catching a signal. Only when the reading process dies is
// the request given up, or the kernel would keep the dead process until the stall ends.
// Returns false when the stall was given up.
bool stall(int seconds)
{
    pid_t requester = fuse_get_context()->pid;
    fuse_session* session = fuse_get_session(fuse_get_context()->fuse);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!behaviour.stubborn && fuse_interrupted() != 0 && threadIsDying(requester))
            return false;
        // Unmounting must not wait for the stall either.
        if (fuse_session_exited(session) != 0)
            return false;
    }
    return true;
}

void* fsInit(fuse_conn_info* conn, fuse_config* cfg)
{
    // A request of up to 1 MiB reaches the server whole, as one command reaches a disc,
    // rather than in pieces of 128 KiB that two requests' pieces can interleave.
    if (behaviour.wholeRequests)
        conn->max_write = 1 << 20;
    // The faults must reach the reader exactly as described: no page cache between them,
    // and no cached attributes that could hide a described size.
    cfg->direct_io = 1;
    cfg->kernel_cache = 0;
    cfg->attr_timeout = 0;
    cfg->entry_timeout = 0;
    cfg->negative_timeout = 0;
    return fuse_get_context()->private_data;
}

void fillStat(const faultfs::Entry& e, struct stat* st)
{
    std::memset(st, 0, sizeof *st);
    if (e.isDir) {
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 2;
    } else {
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(e.size);
        st->st_blocks = static_cast<blkcnt_t>((e.size + 511) / 512);
    }
    st->st_uid = ::getuid();
    st->st_gid = ::getgid();
}

// A stall that strikes a listing or a look at attributes, logged like the read stalls.
int stallFor(const char* what, const char* path, int seconds)
{
    logEvent(std::string(what) + " stall begins " + path + " " + std::to_string(seconds) + "s");
    if (!stall(seconds)) {
        logEvent(std::string(what) + " stall abandoned " + path);
        return -EINTR;
    }
    logEvent(std::string(what) + " stall ends " + path);
    return 0;
}

int fsGetattr(const char* path, struct stat* st, fuse_file_info* /*fi*/)
{
    const faultfs::Entry* e = tree().find(path);
    if (e == nullptr)
        return -ENOENT;
    if (behaviour.rootStallSeconds > 0 && std::string(path) == "/") {
        if (int rc = stallFor("getattr", path, behaviour.rootStallSeconds); rc != 0)
            return rc;
    }
    if (e->fault == faultfs::Fault::GetattrStall) {
        if (int rc = stallFor("getattr", path, e->seconds); rc != 0)
            return rc;
    }
    fillStat(*e, st);
    return 0;
}

int fsReaddir(const char* path, void* buf, fuse_fill_dir_t filler, off_t /*offset*/, fuse_file_info* /*fi*/,
              fuse_readdir_flags /*flags*/)
{
    const faultfs::Entry* dir = tree().find(path);
    if (dir == nullptr)
        return -ENOENT;
    if (!dir->isDir)
        return -ENOTDIR;
    if (dir->fault == faultfs::Fault::ListEio) {
        logEvent("list-eio " + std::string(path));
        return -EIO;
    }
    if (dir->fault == faultfs::Fault::ListStall) {
        if (int rc = stallFor("list", path, dir->seconds); rc != 0)
            return rc;
    }
    filler(buf, ".", nullptr, 0, fuse_fill_dir_flags{});
    filler(buf, "..", nullptr, 0, fuse_fill_dir_flags{});
    for (std::size_t index : dir->children) {
        const faultfs::Entry& child = tree().at(index);
        struct stat st;
        fillStat(child, &st);
        std::string name = child.path.substr(child.path.rfind('/') + 1);
        if (filler(buf, name.c_str(), &st, 0, fuse_fill_dir_flags{}) != 0)
            break;
    }
    return 0;
}

int fsOpen(const char* path, fuse_file_info* fi)
{
    const faultfs::Entry* e = tree().find(path);
    if (e == nullptr)
        return -ENOENT;
    if (e->isDir)
        return -EISDIR;
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    if (e->fault == faultfs::Fault::OpenEio || e->fault == faultfs::Fault::OpenEacces) {
        bool eio = e->fault == faultfs::Fault::OpenEio;
        logEvent(std::string(eio ? "open-eio " : "open-eacces ") + path);
        return eio ? -EIO : -EACCES;
    }
    fi->direct_io = 1;
    fi->keep_cache = 0;
    return 0;
}

int copyFromSource(const std::string& source, char* buf, off_t offset, std::int64_t length)
{
    int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    std::int64_t copied = 0;
    while (copied < length) {
        ssize_t n = ::pread(fd, buf + copied, static_cast<std::size_t>(length - copied), offset + copied);
        if (n <= 0)
            break;
        copied += n;
    }
    ::close(fd);
    std::memset(buf + copied, 0, static_cast<std::size_t>(length - copied));
    return static_cast<int>(length);
}

int fsRead(const char* path, char* buf, size_t size, off_t offset, fuse_file_info* /*fi*/)
{
    const faultfs::Entry* e = tree().find(path);
    if (e == nullptr)
        return -ENOENT;
    faultfs::ReadOutcome out = faultfs::planRead(*e, offset, static_cast<std::int64_t>(size));
    if (behaviour.readDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(behaviour.readDelayMs));
    if (out.stallSeconds > 0) {
        logEvent("stall begins " + std::string(path) + " " + std::to_string(offset) + " " +
                 std::to_string(out.stallSeconds) + "s");
        if (!stall(out.stallSeconds)) {
            logEvent("stall abandoned " + std::string(path));
            return -EINTR;
        }
        logEvent("stall ends " + std::string(path));
    }
    if (out.error != 0) {
        logEvent("eio " + std::string(path) + " " + std::to_string(offset));
        return -out.error;
    }
    if (e->fault == faultfs::Fault::Image) {
        ssize_t n = ::pread(e->imageFd, buf, static_cast<std::size_t>(out.length), offset);
        logEvent("read " + std::string(path) + " " + std::to_string(offset) + " " + std::to_string(n));
        return n < 0 ? -errno : static_cast<int>(n);
    }
    if (out.length < static_cast<std::int64_t>(size) && e->fault == faultfs::Fault::Short)
        logEvent("short " + std::string(path) + " " + std::to_string(offset) + " " + std::to_string(out.length));
    if (!e->source.empty())
        return copyFromSource(e->source, buf, offset, out.length);
    faultfs::fillPattern(buf, offset, out.length);
    if (behaviour.logReads) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        long long ms = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
        logEvent("read " + std::string(path) + " " + std::to_string(offset) + " " + std::to_string(out.length) + " " +
                 std::to_string(ms));
    }
    return static_cast<int>(out.length);
}

int fsStatfs(const char* path, struct statvfs* st)
{
    if (behaviour.rootStallSeconds > 0) {
        if (int rc = stallFor("statfs", path, behaviour.rootStallSeconds); rc != 0)
            return rc;
    }
    std::memset(st, 0, sizeof *st);
    st->f_bsize = 4096;
    st->f_frsize = 4096;
    st->f_blocks = static_cast<fsblkcnt_t>(tree().totalSize() / 4096 + 1);
    st->f_namemax = 255;
    return 0;
}

void usage()
{
    std::cerr << "usage: vorkan-faultfs [--tree FILE]... [--entry LINE]... [FUSE options] MOUNTPOINT\n"
                 "  try -f to stay in the foreground; unmount with fusermount3 -u MOUNTPOINT\n";
}

} // namespace

int main(int argc, char* argv[])
{
    faultfs::Tree described;
    std::vector<char*> fuseArgs{argv[0]};
    try {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            if ((arg == "--tree" || arg == "--entry") && i + 1 < argc) {
                std::string value = argv[++i];
                if (arg == "--entry") {
                    described.addLine(value);
                    continue;
                }
                std::ifstream in(value);
                if (!in)
                    throw std::invalid_argument("cannot read " + value);
                described.addLines(in, value);
            } else if (arg == "--read-delay" && i + 1 < argc) {
                behaviour.readDelayMs = std::stoi(argv[++i]);
            } else if (arg == "--root-stall" && i + 1 < argc) {
                behaviour.rootStallSeconds = std::stoi(argv[++i]);
            } else if (arg == "--log-reads") {
                behaviour.logReads = true;
            } else if (arg == "--whole-requests") {
                behaviour.wholeRequests = true;
            } else if (arg == "--stubborn") {
                behaviour.stubborn = true;
            } else if (arg == "--help" || arg == "-h") {
                usage();
                return 0;
            } else {
                fuseArgs.push_back(argv[i]);
            }
        }
    } catch (const std::invalid_argument& e) {
        std::cerr << "vorkan-faultfs: " << e.what() << "\n";
        return 2;
    }
    // max_idle_threads: without it libfuse 3.14 warns about its own default on every mount.
    std::string fsname = "-ofsname=vorkan-faultfs,subtype=vorkan-faultfs,ro,max_idle_threads=8";
    fuseArgs.insert(fuseArgs.begin() + 1, fsname.data());

    fuse_operations ops{};
    ops.init = fsInit;
    ops.getattr = fsGetattr;
    ops.readdir = fsReaddir;
    ops.open = fsOpen;
    ops.read = fsRead;
    ops.statfs = fsStatfs;
    return fuse_main(static_cast<int>(fuseArgs.size()), fuseArgs.data(), &ops, &described);
}
