#include "platform/drives.h"

#include "platform/ascii.h"
#include "platform/bounded_call.h"
#include "platform/disk_space.h"
#include "platform/mount_table.h"

#include <blkid/blkid.h>
#include <libmount/libmount.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

namespace platform {

namespace {

struct ProbeDeleter {
    void operator()(blkid_struct_probe* p) const { blkid_free_probe(p); }
};

// A filesystem that has not answered by then counts as not ready.
constexpr std::chrono::milliseconds kAnswerBound{1500};

bool startsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool underMediaDirectory(const std::string& target)
{
    for (const char* top : {"/media/", "/mnt/", "/run/media/"}) {
        if (startsWith(target, top))
            return true;
    }
    return false;
}

std::string readFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool blockDeviceRemovable(const std::string& source)
{
    std::string name = std::filesystem::path(source).filename().string();
    std::string sys = "/sys/class/block/" + name;
    if (readFirstLine(sys + "/removable") == "1")
        return true;
    return readFirstLine(sys + "/../removable") == "1"; // a partition: ask its disk
}

std::string volumeLabel(const std::string& device)
{
    std::unique_ptr<blkid_struct_probe, ProbeDeleter> probe(blkid_new_probe_from_filename(device.c_str()));
    if (!probe)
        return {};
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return {};
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &value, nullptr) != 0 || value == nullptr)
        return {};
    return value;
}

bool isOpticalDevice(const std::string& source)
{
    return startsWith(source, "/dev/sr") || startsWith(source, "/dev/cdrom");
}

std::optional<Drive> classify(libmnt_fs* fs)
{
    const char* targetC = mnt_fs_get_target(fs);
    const char* typeC = mnt_fs_get_fstype(fs);
    const char* sourceC = mnt_fs_get_source(fs);
    if (targetC == nullptr)
        return std::nullopt;
    Drive d;
    d.mountPoint = targetC;
    d.source = sourceC != nullptr ? sourceC : "";
    std::string type = typeC != nullptr ? typeC : "";
    if (d.mountPoint == "/")
        return d;
    // A bind mount of a directory shows part of a filesystem that has its letter already.
    const char* rootC = mnt_fs_get_root(fs);
    if (rootC != nullptr && std::string(rootC) != "/")
        return std::nullopt;
    bool blockDevice = startsWith(d.source, "/dev/");
    if (mnt_fs_is_netfs(fs)) {
        d.type = DriveType::Remote;
        d.label = d.source;
    } else if (type == "iso9660" || type == "udf" || isOpticalDevice(d.source)) {
        d.type = DriveType::CdRom;
    } else if (type == "tmpfs" || type == "ramfs" || startsWith(d.source, "/dev/ram") ||
               startsWith(d.source, "/dev/zram")) {
        if (!underMediaDirectory(d.mountPoint) && !blockDevice)
            return std::nullopt;
        d.type = DriveType::RamDisk;
    } else if (mnt_fs_is_pseudofs(fs) && !underMediaDirectory(d.mountPoint)) {
        return std::nullopt;
    } else if (blockDevice) {
        d.type = blockDeviceRemovable(d.source) ? DriveType::Removable : DriveType::Fixed;
    } else if (underMediaDirectory(d.mountPoint)) {
        d.type = DriveType::Fixed;
    } else {
        return std::nullopt;
    }
    if (startsWith(d.mountPoint, "/proc") || startsWith(d.mountPoint, "/sys") ||
        (startsWith(d.mountPoint, "/dev/") && !underMediaDirectory(d.mountPoint)))
        return std::nullopt;
    return d;
}

std::vector<std::string> opticalDrivesOnMachine()
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/sys/class/block", ec)) {
        std::string name = e.path().filename().string();
        if (startsWith(name, "sr"))
            found.push_back("/dev/" + name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

std::string Drive::entryText() const
{
    std::string text(1, letter);
    text += ":";
    if (!label.empty())
        text += " [" + label + "]";
    if (!mountPoint.empty())
        text += " " + mountPoint;
    return text;
}

std::string Drive::walkPath() const
{
    std::string path = mountPoint;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

DriveTable DriveTable::fromMountTable(const std::string& mountinfo)
{
    std::vector<Drive> found;
    forEachMount(mountinfo, [&](libmnt_fs* fs) {
        auto drive = classify(fs);
        if (!drive)
            return;
        // A later mount over the same point hides the earlier one.
        auto same =
            std::find_if(found.begin(), found.end(), [&](const Drive& x) { return x.mountPoint == drive->mountPoint; });
        if (same != found.end())
            found.erase(same);
        found.push_back(*drive);
    });
    auto root = std::find_if(found.begin(), found.end(), [](const Drive& x) { return x.mountPoint == "/"; });
    Drive rootDrive;
    rootDrive.mountPoint = "/";
    if (root != found.end()) {
        rootDrive = *root;
        found.erase(root);
    }
    std::sort(found.begin(), found.end(), [](const Drive& a, const Drive& b) { return a.mountPoint < b.mountPoint; });
    std::set<std::string> mountedSources;
    for (const auto& d : found)
        mountedSources.insert(d.source);
    for (const auto& device : opticalDrivesOnMachine()) {
        if (mountedSources.count(device) == 0) {
            Drive empty;
            empty.type = DriveType::CdRom;
            empty.source = device;
            found.push_back(empty);
        }
    }
    found.insert(found.begin(), rootDrive);
    // Reading a label reads the device: a dying one must not hold up the table.
    std::vector<std::function<std::string()>> labels;
    std::vector<Drive*> labelled;
    for (auto& d : found) {
        if (d.label.empty() && d.type != DriveType::Remote && startsWith(d.source, "/dev/")) {
            labels.push_back([device = d.source] { return volumeLabel(device); });
            labelled.push_back(&d);
        }
    }
    auto got = askAllWithin(std::move(labels), kAnswerBound);
    for (std::size_t i = 0; i < got.size(); ++i)
        labelled[i]->label = got[i].value_or("");
    return fromDrives(std::move(found));
}

DriveTable DriveTable::fromDrives(std::vector<Drive> drives)
{
    DriveTable table;
    char letter = 'c';
    for (auto& d : drives) {
        if (letter > 'z')
            break;
        d.letter = letter++;
        table.drives_.push_back(std::move(d));
    }
    return table;
}

const Drive* DriveTable::find(char letter) const
{
    char lower = asciiLower(letter);
    for (const auto& d : drives_) {
        if (d.letter == lower)
            return &d;
    }
    return nullptr;
}

const Drive* DriveTable::driveOf(const std::string& path) const
{
    const Drive* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& d : drives_) {
        const std::string& mp = d.mountPoint;
        if (mp.empty())
            continue;
        bool holds =
            mp == "/" || path == mp || (startsWith(path, mp) && path.size() > mp.size() && path[mp.size()] == '/');
        if (holds && (best == nullptr || mp.size() > bestLength)) {
            best = &d;
            bestLength = mp.size();
        }
    }
    return best;
}

bool DriveTable::ready(const Drive& drive)
{
    return readyAll({drive}).front();
}

std::vector<bool> DriveTable::readyAll(const std::vector<Drive>& drives)
{
    std::vector<std::function<bool()>> questions;
    for (const auto& d : drives)
        questions.push_back([mountPoint = d.mountPoint] { return !mountPoint.empty() && diskSize(mountPoint) != -1; });
    std::vector<bool> ready;
    for (const auto& answer : askAllWithin(std::move(questions), kAnswerBound))
        ready.push_back(answer.value_or(false));
    return ready;
}

} // namespace platform
