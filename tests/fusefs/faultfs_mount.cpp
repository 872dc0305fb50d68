#include "faultfs_mount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace testing_support {

namespace {

std::string canonical(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

} // namespace

bool isMountPoint(const std::string& path)
{
    std::string wanted = canonical(path);
    std::ifstream info("/proc/self/mountinfo");
    for (std::string line; std::getline(info, line);) {
        std::istringstream fields(line);
        std::string id, parent, dev, root, mountPoint;
        fields >> id >> parent >> dev >> root >> mountPoint;
        if (mountPoint == wanted)
            return true;
    }
    return false;
}

std::string FaultFsMount::unavailableReason()
{
    if (::geteuid() != 0)
        return "FUSE tests need root";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse is missing";
    return "";
}

FaultFsMount::FaultFsMount(const std::string& description, const std::string& mountPoint,
                           const std::vector<std::string>& options)
    : path_(mountPoint)
{
    std::vector<std::string> argv{VORKAN_FAULTFS_PATH, "-f"};
    argv.insert(argv.end(), options.begin(), options.end());
    std::istringstream lines(description);
    for (std::string line; std::getline(lines, line);) {
        argv.push_back("--entry");
        argv.push_back(line);
    }
    argv.push_back(mountPoint);
    server_ = std::make_unique<ChildProcess>(argv);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!isMountPoint(path_)) {
        if (!server_->running() || std::chrono::steady_clock::now() >= deadline) {
            std::string log = server_->errSoFar();
            server_.reset();
            throw std::runtime_error("vorkan-faultfs did not mount " + path_ + ": " + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FaultFsMount::~FaultFsMount()
{
    server_->signal(SIGTERM);
    ProcessResult end = server_->wait(std::chrono::seconds(5));
    if (isMountPoint(path_)) {
        runProcess({"/usr/bin/fusermount3", "-u", "-z", path_}, std::chrono::seconds(5));
        if (isMountPoint(path_))
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    (void)end;
}

std::string FaultFsMount::log() const
{
    return server_->errSoFar();
}

bool FaultFsMount::waitForLog(const std::string& text, std::chrono::milliseconds timeout) const
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (log().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void WithFaultFs::mount(const std::string& description, const std::string& relative,
                        const std::vector<std::string>& options)
{
    makeDir(dir_ / relative);
    fs_ = std::make_unique<FaultFsMount>(description, dir_ / relative, options);
}

} // namespace testing_support
