#include "surface_disk.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace cli_testing {

testing_support::ProcessResult runTool(std::vector<std::string> argv)
{
    for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
        if (::access((dir + argv[0]).c_str(), X_OK) == 0) {
            argv[0] = dir + argv[0];
            break;
        }
    }
    return testing_support::runProcess(argv, std::chrono::seconds(120));
}

FaultyDisk::FaultyDisk(const std::string& dir) : dir_(dir), image_(dir + "/image"), work_(dir + "/work") {}

FaultyDisk::~FaultyDisk()
{
    if (!mounted_.empty())
        ::umount2(mounted_.c_str(), MNT_DETACH);
    if (!device_.empty())
        runTool({"losetup", "-d", device_});
    fs_.reset();
    if (!workDevice_.empty()) {
        ::umount2(work_.c_str(), MNT_DETACH);
        runTool({"losetup", "-d", workDevice_});
    }
}

std::string FaultyDisk::mountImage(int sizeMiB)
{
    if (::geteuid() != 0)
        return "loop devices need root";
    std::ofstream(image_).close();
    if (::truncate(image_.c_str(), static_cast<off_t>(sizeMiB) << 20) != 0)
        return "cannot make the image";
    auto mkfs = runTool({"mkfs.ext4", "-q", "-F", "-b", "4096", "-E", "nodiscard", image_});
    if (mkfs.exitCode != 0)
        return "mkfs.ext4 failed: " + mkfs.describe();
    auto setup = runTool({"losetup", "--find", "--show", image_});
    if (setup.exitCode != 0)
        return "losetup failed: " + setup.describe();
    workDevice_ = setup.out.substr(0, setup.out.find('\n'));
    ::mkdir(work_.c_str(), 0755);
    if (::mount(workDevice_.c_str(), work_.c_str(), "ext4", 0, nullptr) != 0)
        return "cannot mount " + workDevice_;
    return "";
}

std::string FaultyDisk::unmountImage()
{
    ::sync();
    filefrag_.clear();
    auto frag = runTool({"sh", "-c", "cd '" + work_ + "' && find . -mindepth 1 -print0 | xargs -0 filefrag -v"});
    filefrag_ = frag.out;
    if (::umount(work_.c_str()) != 0)
        return "cannot unmount the image";
    runTool({"losetup", "-d", workDevice_});
    workDevice_.clear();
    return "";
}

std::vector<Extent> FaultyDisk::extentsOf(const std::string& relative) const
{
    std::vector<Extent> out;
    std::istringstream in(filefrag_);
    static const std::regex header(R"(^File size of \./(.*) is \d+ \(\d+ blocks? of (\d+) bytes\))");
    static const std::regex row(R"(^\s*\d+:\s+(\d+)\.\.\s*(\d+):\s+(\d+)\.\.\s*(\d+):)");
    bool inFile = false;
    std::int64_t block = 4096;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, header)) {
            inFile = m[1] == relative;
            block = std::stoll(m[2]);
        } else if (inFile && std::regex_search(line, m, row)) {
            std::int64_t first = std::stoll(m[1]), last = std::stoll(m[2]);
            out.push_back({first * block, std::stoll(m[3]) * block, (last - first + 1) * block});
        }
    }
    return out;
}

std::string FaultyDisk::serve(const std::vector<std::string>& faults, bool mount)
{
    std::string served = dir_ + "/served";
    ::mkdir(served.c_str(), 0755);
    std::string line = "disk image " + image_;
    for (const auto& f : faults)
        line += " " + f;
    fs_ = std::make_unique<testing_support::FaultFsMount>(line, served);
    auto setup = runTool({"losetup", "--find", "--show", "--read-only", served + "/disk"});
    if (setup.exitCode != 0)
        return "losetup failed: " + setup.describe();
    device_ = setup.out.substr(0, setup.out.find('\n'));
    if (!mount)
        return "";
    std::string at = dir_ + "/mnt";
    ::mkdir(at.c_str(), 0755);
    if (::mount(device_.c_str(), at.c_str(), "ext4", MS_RDONLY, "noload") != 0)
        return "cannot mount " + device_;
    mounted_ = at;
    return "";
}

std::vector<Range> readsInLog(const std::string& log, std::size_t from)
{
    std::vector<Range> out;
    std::istringstream in(log.substr(std::min(from, log.size())));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string tag, kind, path;
        std::int64_t offset = 0, length = 0;
        if (words >> tag >> kind >> path >> offset >> length && kind == "read" && length > 0)
            out.emplace_back(offset, offset + length);
    }
    return out;
}

} // namespace cli_testing
