#include "loop_device.h"

#include "child_process.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>

namespace reads_testing {

namespace {

// The system tools live in sbin, which a test's PATH may lack.
testing_support::ProcessResult run(std::vector<std::string> argv)
{
    for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/"}) {
        if (::access((dir + argv[0]).c_str(), X_OK) == 0) {
            argv[0] = dir + argv[0];
            break;
        }
    }
    return testing_support::runProcess(argv, std::chrono::seconds(60));
}

std::string baseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

} // namespace

LoopMount::LoopMount(const std::string& dir, int sizeMiB, const std::string& fsType)
    : image_(dir + "/image"), mountPoint_(dir + "/mnt"), fsType_(fsType)
{
    if (::geteuid() != 0) {
        reason_ = "loop devices need root";
        return;
    }
    ::mkdir(mountPoint_.c_str(), 0755);
    if (::truncate(image_.c_str(), 0) != 0) {
        std::ofstream(image_).close();
    }
    if (::truncate(image_.c_str(), static_cast<off_t>(sizeMiB) << 20) != 0) {
        reason_ = "cannot make the image";
        return;
    }
    auto mkfs = run({"mkfs." + fsType, "-q", "-F", image_});
    if (mkfs.exitCode != 0) {
        reason_ = "mkfs." + fsType + " failed: " + mkfs.describe();
        return;
    }
    auto setup = run({"losetup", "--find", "--show", image_});
    if (setup.exitCode != 0) {
        reason_ = "losetup failed: " + setup.describe();
        return;
    }
    device_ = setup.out.substr(0, setup.out.find('\n'));
    if (::mount(device_.c_str(), mountPoint_.c_str(), fsType.c_str(), 0, nullptr) != 0) {
        reason_ = "cannot mount " + device_;
        return;
    }
    mounted_ = true;
}

LoopMount::~LoopMount()
{
    if (mounted_)
        ::umount2(mountPoint_.c_str(), MNT_DETACH);
    if (!device_.empty())
        run({"losetup", "-d", device_});
}

std::int64_t LoopMount::sectorsRead() const
{
    // Fields of /sys/block/X/stat: reads, reads merged, sectors read, ...
    std::ifstream in("/sys/block/" + baseName(device_) + "/stat");
    std::int64_t reads = 0, merged = 0, sectors = -1;
    in >> reads >> merged >> sectors;
    return sectors;
}

bool LoopMount::remount()
{
    if (!mounted_ || ::umount2(mountPoint_.c_str(), 0) != 0)
        return false;
    mounted_ = ::mount(device_.c_str(), mountPoint_.c_str(), fsType_.c_str(), 0, nullptr) == 0;
    return mounted_;
}

void LoopMount::setRotational(bool rotational) const
{
    std::ofstream("/sys/block/" + baseName(device_) + "/queue/rotational") << (rotational ? "1" : "0");
}

PagesLockedByOtherProcess::PagesLockedByOtherProcess(const std::vector<std::string>& paths)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    child_ = ::fork();
    if (child_ == 0) {
        // Only system calls from here: the parent may have other threads.
        for (const std::string& path : paths) {
            int fd = ::open(path.c_str(), O_RDONLY);
            struct stat st {};
            if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0)
                continue;
            void* map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
            if (map == MAP_FAILED || ::mlock(map, static_cast<std::size_t>(st.st_size)) != 0)
                ::_exit(1);
        }
        char c = 'r';
        (void)!::write(ready[1], &c, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ready_ = child_ > 0 && ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
}

PagesLockedByOtherProcess::~PagesLockedByOtherProcess()
{
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
    }
}

} // namespace reads_testing
