#include "faulty_image.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

namespace cli_testing {

namespace {

constexpr std::int64_t kBlock = 4096;

// The system tools live in sbin, which a test's PATH may lack.
testing_support::ProcessResult tool(std::vector<std::string> argv)
{
    for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/"}) {
        if (::access((dir + argv[0]).c_str(), X_OK) == 0) {
            argv[0] = dir + argv[0];
            break;
        }
    }
    return testing_support::runProcess(argv, std::chrono::seconds(60));
}

std::int64_t firstNumberAfter(const std::string& text, const std::string& pattern)
{
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(pattern + "([0-9]+)")))
        return -1;
    return std::stoll(m[1].str());
}

} // namespace

FaultyImage::FaultyImage(const std::string& source, const std::string& work, int sizeMiB)
    : image_(work + "/image"), work_(work), mountPoint_(work + "/mnt")
{
    if (::geteuid() != 0) {
        reason_ = "loop devices need root";
        return;
    }
    if (std::string why = testing_support::FaultFsMount::unavailableReason(); !why.empty()) {
        reason_ = why;
        return;
    }
    auto mkfs = tool({"mkfs.ext4", "-q", "-F", "-b", "4096", "-d", source, image_, std::to_string(sizeMiB) + "M"});
    if (mkfs.exitCode != 0)
        reason_ = "mkfs.ext4 -d failed: " + mkfs.describe();
}

FaultyImage::~FaultyImage()
{
    if (mounted_)
        ::umount2(mountPoint_.c_str(), MNT_DETACH);
    if (!device_.empty())
        tool({"losetup", "-d", device_});
    medium_.reset();
}

std::int64_t FaultyImage::dataOffset(const std::string& path, std::int64_t fileBlock) const
{
    auto r = tool({"debugfs", "-R", "bmap " + path + " " + std::to_string(fileBlock), image_});
    std::int64_t block = firstNumberAfter(r.out, "^");
    return block <= 0 ? -1 : block * kBlock;
}

std::int64_t FaultyImage::inodeBlockOffset(const std::string& path) const
{
    auto r = tool({"debugfs", "-R", "imap " + path, image_});
    std::int64_t block = firstNumberAfter(r.out, "located at block ");
    return block <= 0 ? -1 : block * kBlock;
}

bool FaultyImage::attach(std::int64_t badStart, std::int64_t badEnd)
{
    struct stat st {};
    if (::stat(image_.c_str(), &st) != 0) {
        reason_ = "no image";
        return false;
    }
    ::mkdir((work_ + "/medium").c_str(), 0755);
    ::mkdir(mountPoint_.c_str(), 0755);
    medium_ = std::make_unique<testing_support::FaultFsMount>("image " + std::to_string(st.st_size) + " eio-range " +
                                                                  std::to_string(badStart) + " " +
                                                                  std::to_string(badEnd) + " from=" + image_,
                                                              work_ + "/medium");
    auto setup = tool({"losetup", "--find", "--show", "--read-only", medium_->path() + "/image"});
    if (setup.exitCode != 0) {
        reason_ = "losetup failed: " + setup.describe();
        return false;
    }
    device_ = setup.out.substr(0, setup.out.find('\n'));
    if (::mount(device_.c_str(), mountPoint_.c_str(), "ext4", MS_RDONLY, "noload") != 0) {
        reason_ = "cannot mount " + device_;
        return false;
    }
    mounted_ = true;
    return true;
}

} // namespace cli_testing
