#include "engine/damage_walk.h"

#include "platform/block_device.h"
#include "platform/ext_filesystem.h"
#include "platform/fiemap.h"
#include "platform/iso_image.h"
#include "platform/tree_walk.h"

#include <memory>

namespace engine {

namespace {

void walkMount(const platform::DeviceMount& mount, DamageMap& map, const std::function<bool()>& stopped)
{
    platform::TreeWalker walker(mount.mountPoint == "/" ? std::string() : mount.mountPoint);
    std::string path;
    auto add = [&](const platform::FileExtent& e) {
        map.addExtent(path, e.logical, e.physical + mount.offset, e.length);
    };
    while (auto entry = walker.next()) {
        if (stopped())
            return;
        path = entry->path.empty() ? "/" : entry->path;
        if (entry->kind == platform::WalkEntry::Kind::File)
            platform::extentsAt(walker.fileDirectory(), walker.fileName(), add);
        else if (entry->kind == platform::WalkEntry::Kind::DirectoryBegin)
            platform::directoryExtents(path, add);
    }
}

struct ExtAt {
    std::unique_ptr<platform::ExtFilesystem> fs;
    std::int64_t offset = 0;
};

} // namespace

void collectWhatLiesThere(const std::string& devicePath, dev_t device, DamageMap& map,
                          const std::function<bool()>& stopped)
{
    if (map.empty())
        return;
    std::string isoPrefix;
    for (const auto& mount : platform::mountsOf(device)) {
        if (mount.fsType == "iso9660") {
            if (mount.offset == 0)
                isoPrefix = mount.mountPoint == "/" ? "" : mount.mountPoint;
            continue; // its directory records tell more than the kernel's extents would
        }
        walkMount(mount, map, stopped);
        if (stopped())
            return;
    }
    platform::forEachIsoFile(devicePath, [&](const std::string& file, std::int64_t start, std::int64_t length) {
        map.addExtent(isoPrefix + file, 0, start, length);
    });
}

AreaClassifier areaClassifier(const std::string& devicePath, dev_t device)
{
    auto filesystems = std::make_shared<std::vector<ExtAt>>();
    if (auto fs = platform::ExtFilesystem::open(devicePath))
        filesystems->push_back({std::move(fs), 0});
    for (const auto& mount : platform::mountsOf(device)) {
        if (mount.offset == 0 || mount.fsType.rfind("ext", 0) != 0)
            continue;
        if (auto fs = platform::ExtFilesystem::open(mount.source))
            filesystems->push_back({std::move(fs), mount.offset});
    }
    return [filesystems](const ByteRange& r) {
        std::vector<std::pair<ByteRange, std::string>> out;
        for (const auto& ext : *filesystems) {
            if (r.first < ext.offset || r.first >= ext.offset + ext.fs->size())
                continue;
            for (const auto& [piece, used] : ext.fs->usage(r.first - ext.offset, r.second - ext.offset))
                out.push_back({{piece.first + ext.offset, piece.second + ext.offset}, used ? "metadata" : "free"});
            if (!out.empty() && out.back().first.second < r.second)
                out.push_back({{out.back().first.second, r.second}, "unknown"});
            return out;
        }
        out.push_back({r, "unknown"});
        return out;
    };
}

} // namespace engine
