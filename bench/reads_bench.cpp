// Reads every regular file below a directory through FileReads, the way the test engine
// does: files opened in walk order and handed over a window ahead, every chunk taken at once.
// Prints the seconds, files and bytes. Not part of the test suite; see bench/cli_bench.sh.
//
//   reads_bench [--quick] [--threads] [--depth N] [--file-depth N] [--request KiB] [--ahead N]
//               [--block N] [--prefetch] DIR
//
// The walk goes relative to directory descriptors. --prefetch first asks for the status of
// every entry of a directory through io_uring, many at once, so that the inodes the walk then
// stats and opens one by one are in memory: it measures what a walk gains from that.
#include "engine/file_reads.h"

#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Options {
    bool quick = false;
    bool threads = false;
    int depth = 0;
    int requestKiB = 0;
    int fileDepth = 0;
    int block = 0;
    std::size_t ahead = 64;
    bool prefetch = false;
    std::string dir;
};

// Stands in for the engine: knows where each job ends and counts what is still open.
class Consumer {
public:
    void expect(std::uint64_t job, std::int64_t end)
    {
        std::lock_guard lock(mutex_);
        rest_[job] = end;
    }
    bool post(engine::FileReads* reads, std::uint64_t job, const engine::ReadEvent& e)
    {
        bool finished = e.kind != engine::ReadEvent::Kind::Chunk;
        {
            std::lock_guard lock(mutex_);
            std::int64_t& rest = rest_[job];
            if (!finished) {
                bytes_ += e.bytes;
                finished = e.bytes < std::min(engine::kChunkSize, rest) || (rest -= e.bytes) <= 0;
            } else {
                ++failures_;
            }
            if (finished) {
                rest_.erase(job);
                changed_.notify_all();
            }
        }
        if (!finished && e.kind == engine::ReadEvent::Kind::Chunk)
            reads->consumed(job, e.units);
        return true;
    }
    void waitUntilOpenBelow(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return rest_.size() < count; });
    }
    std::int64_t bytes() const { return bytes_; }
    long failures() const { return failures_; }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, std::int64_t> rest_;
    std::int64_t bytes_ = 0;
    long failures_ = 0;
};

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--quick")
            o.quick = true;
        else if (a == "--threads")
            o.threads = true;
        else if (a == "--depth" && i + 1 < argc)
            o.depth = std::atoi(argv[++i]);
        else if (a == "--file-depth" && i + 1 < argc)
            o.fileDepth = std::atoi(argv[++i]);
        else if (a == "--request" && i + 1 < argc)
            o.requestKiB = std::atoi(argv[++i]);
        else if (a == "--block" && i + 1 < argc)
            o.block = std::atoi(argv[++i]);
        else if (a == "--prefetch")
            o.prefetch = true;
        else if (a == "--ahead" && i + 1 < argc)
            o.ahead = static_cast<std::size_t>(std::atoi(argv[++i]));
        else
            o.dir = a;
    }
    return o;
}

// Stats the names relative to dirfd, up to 64 at once.
void prefetchStatus(io_uring& ring, int dirfd, const std::vector<std::string>& names)
{
    std::vector<struct statx> results(names.size());
    std::size_t sent = 0, done = 0;
    while (done < names.size()) {
        while (sent < names.size() && sent - done < 64) {
            io_uring_sqe* sqe = io_uring_get_sqe(&ring);
            if (sqe == nullptr)
                break;
            io_uring_prep_statx(sqe, dirfd, names[sent].c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS,
                                &results[sent]);
            ++sent;
        }
        io_uring_cqe* cqe = nullptr;
        io_uring_submit_and_wait(&ring, 1);
        unsigned head = 0, seen = 0;
        io_uring_for_each_cqe(&ring, head, cqe)
        {
            ++seen;
        }
        io_uring_cq_advance(&ring, seen);
        done += seen;
    }
}

struct Walk {
    const Options& o;
    engine::FileReads& reads;
    Consumer& consumer;
    io_uring* ring;
    std::uint64_t job = 0;
    long files = 0, unopened = 0;
    double openSeconds = 0, waitSeconds = 0;

    void directory(int dirfd)
    {
        std::vector<std::string> names, subdirs;
        DIR* d = fdopendir(dup(dirfd));
        if (d == nullptr)
            return;
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            (e->d_type == DT_DIR ? subdirs : names).push_back(name);
        }
        closedir(d);
        if (ring != nullptr)
            prefetchStatus(*ring, dirfd, names);
        for (const std::string& name : names)
            file(dirfd, name);
        for (const std::string& name : subdirs) {
            int sub = openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                directory(sub);
                close(sub);
            }
        }
    }

    void file(int dirfd, const std::string& name)
    {
        struct stat st {};
        if (fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            return;
        engine::FileToRead f;
        f.job = ++job;
        f.quick = o.quick;
        f.listedSize = st.st_size;
        auto pattern = o.quick ? platform::ReadPattern::FirstBytes : platform::ReadPattern::WholeFile;
        ++files;
        auto t0 = std::chrono::steady_clock::now();
        auto opened = f.file.openAt(dirfd, name, pattern);
        openSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (opened != platform::OpenResult::Opened) {
            ++unopened;
            return;
        }
        auto t1 = std::chrono::steady_clock::now();
        consumer.waitUntilOpenBelow(o.ahead);
        waitSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
        consumer.expect(f.job,
                        o.quick                ? engine::kQuickTestBytes
                            : f.listedSize > 0 ? f.listedSize
                                               : engine::kChunkSize);
        reads.add(std::move(f));
    }
};

} // namespace

int main(int argc, char** argv)
{
    Options o = parse(argc, argv);
    if (o.dir.empty()) {
        std::fprintf(stderr,
                     "usage: reads_bench [--quick] [--threads] [--depth N] [--file-depth N] [--request KiB] "
                     "[--block N] [--ahead N] [--prefetch] DIR\n");
        return 2;
    }
    platform::ReadProfile profile = platform::readProfileFor(o.dir);
    if (o.threads)
        profile.useIoUring = false;
    if (o.depth > 0)
        profile.depth = o.depth;
    if (o.fileDepth > 0)
        profile.fileDepth = o.fileDepth;
    if (o.block > 0)
        profile.blockSize = static_cast<std::size_t>(o.block);
    if (o.requestKiB > 0)
        profile.requestSize = static_cast<std::size_t>(o.requestKiB) * 1024;

    auto start = std::chrono::steady_clock::now();
    Consumer consumer;
    engine::FileReads* readsPtr = nullptr;
    engine::FileReads reads(
        [&](std::uint64_t job, const engine::ReadEvent& e) { return consumer.post(readsPtr, job, e); }, profile);
    readsPtr = &reads;
    io_uring ring{};
    bool prefetch = o.prefetch && io_uring_queue_init(64, &ring, 0) == 0;
    Walk walk{o, reads, consumer, prefetch ? &ring : nullptr};
    int top = open(o.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top >= 0) {
        walk.directory(top);
        close(top);
    }
    consumer.waitUntilOpenBelow(1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "%.3f s  %ld files  %lld bytes  %ld failed  %lld not from the medium  (opening %.3f s, waiting %.3f s)\n",
        seconds, walk.files, static_cast<long long>(consumer.bytes()), consumer.failures() + walk.unopened,
        static_cast<long long>(reads.bytesNotFromMedium()), walk.openSeconds, walk.waitSeconds);
    if (prefetch)
        io_uring_queue_exit(&ring);
    return consumer.failures() + walk.unopened == 0 ? 0 : 1;
}
