#include "tests/support/descendant_memory.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>

namespace testing_support {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// A file of /proc, empty when the process is gone. Not through a stream: a read of a process
// that ends meanwhile fails with ESRCH, which libstdc++'s file buffer throws.
std::string procFile(const std::string& path)
{
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

// The parent of pid, or -1 when it is gone.
pid_t parentOf(pid_t pid)
{
    std::string text = procFile("/proc/" + std::to_string(pid) + "/stat");
    std::size_t close = text.rfind(')'); // the command name may hold blanks and parentheses
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(text.substr(close + 1));
    char state = 0;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

std::set<pid_t> descendantsOf(pid_t root)
{
    std::set<pid_t> found{root};
    bool grew = true;
    while (grew) {
        grew = false;
        std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
        if (!proc)
            break;
        while (dirent* e = ::readdir(proc.get())) {
            pid_t pid = static_cast<pid_t>(std::atol(e->d_name));
            if (pid > 0 && !found.contains(pid) && found.contains(parentOf(pid))) {
                found.insert(pid);
                grew = true;
            }
        }
    }
    found.erase(root);
    return found;
}

} // namespace

int threadsOfThisProcess()
{
    int count = 0;
    std::unique_ptr<DIR, DirCloser> tasks(::opendir("/proc/self/task"));
    while (dirent* e = tasks ? ::readdir(tasks.get()) : nullptr)
        count += e->d_name[0] != '.' ? 1 : 0;
    return count;
}

DescendantMemory::DescendantMemory()
    : thread_([this] {
          while (!stop_.load()) {
              sample();
              std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
      })
{}

DescendantMemory::~DescendantMemory()
{
    stop_.store(true);
    thread_.join();
}

void DescendantMemory::sample()
{
    for (pid_t pid : descendantsOf(::getpid())) {
        std::istringstream in(procFile("/proc/" + std::to_string(pid) + "/status"));
        std::string line;
        std::string kept;
        long hwm = 0;
        while (std::getline(in, line)) {
            for (const char* key : {"Name:", "VmHWM:", "RssAnon:", "RssFile:", "RssShmem:", "Threads:"})
                if (line.rfind(key, 0) == 0)
                    kept += line + "; ";
            if (line.rfind("VmHWM:", 0) == 0)
                hwm = std::atol(line.c_str() + 6);
        }
        std::lock_guard lock(mutex_);
        if (hwm > peakKib_) {
            peakKib_ = hwm;
            description_ = kept;
        }
    }
}

long DescendantMemory::peakKib() const
{
    std::lock_guard lock(mutex_);
    return peakKib_;
}

std::string DescendantMemory::peakDescription() const
{
    std::lock_guard lock(mutex_);
    return description_;
}

} // namespace testing_support
