#include "engine/device_scan_run.h"

#include "common/encoding.h"
#include "engine/damage_walk.h"
#include "engine/surface_texts.h"
#include "platform/block_device.h"
#include "platform/read_profile.h"
#include "platform/read_queue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

SurfaceScanSettings surfaceSettingsFor(dev_t device, double slowSeconds)
{
    auto profile = platform::readProfileForDevice(device);
    SurfaceScanSettings settings;
    settings.plan.depth = profile.depth <= 2 ? 2 : 8;
    settings.plan.requestSize = 1 << 20;
    settings.slowSeconds = slowSeconds;
    return settings;
}

namespace {

// A read stalled in the kernel holds its buffer and a thread that must not be waited for:
// what the threads touch lives here, and is left to them when the scan is given up.
struct Shared {
    std::string devicePath;
    platform::BlockDeviceOpen opened;
    std::unique_ptr<SurfaceScan> scan;
    std::unique_ptr<platform::ReadQueue> queue;
    std::atomic<bool> readingEnded{false};
    std::atomic<SurfaceScan::End> end{SurfaceScan::End::Finished};
    std::atomic<bool> mappingEnded{false};
    std::atomic<bool> stopMapping{false};
    std::vector<DamageHit> hits;
    std::size_t hitsDropped = 0;

    std::mutex wakeMutex;
    std::function<void()> wake;
    void notify()
    {
        std::lock_guard lock(wakeMutex);
        if (wake)
            wake();
    }
    void forgetWake()
    {
        std::lock_guard lock(wakeMutex);
        wake = nullptr;
    }
};

bool overlaps(const DamageHit& h, const std::vector<ByteRange>& areas)
{
    auto after = std::upper_bound(areas.begin(), areas.end(), h.start,
                                  [](std::int64_t at, const ByteRange& a) { return at < a.second; });
    return after != areas.end() && after->first < h.end;
}

class DeviceScanRun final : public DeviceScan {
public:
    DeviceScanRun() : s_(std::make_shared<Shared>()) {}
    ~DeviceScanRun() override;

    std::string open(const std::string& devicePath) override;
    std::int64_t size() const override { return s_->opened.device.size; }
    void startReading(std::function<void()> wake) override;
    bool readingEnded() const override { return s_->readingEnded; }
    std::int64_t position() const override { return s_->scan ? s_->scan->position() : 0; }
    std::int64_t bytesRead() const override { return s_->scan ? s_->scan->bytesRead() : 0; }
    std::int64_t bytesSettled() const override { return s_->scan ? s_->scan->bytesSettled() : 0; }
    void startMapping(std::function<void()> wake) override;
    bool mappingEnded() const override { return s_->mappingEnded; }
    void pause(bool paused) override
    {
        if (s_->scan)
            s_->scan->pause(paused);
    }
    void stop() override;
    DeviceScanFindings findings() const override;

private:
    static void keepForGood(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> s_;
    std::thread reader_;
    std::thread mapper_;
};

std::string DeviceScanRun::open(const std::string& devicePath)
{
    namespace st = texts;
    s_->devicePath = devicePath;
    s_->opened = platform::openBlockDevice(devicePath);
    const auto& o = s_->opened;
    if (o.notBlockDevice)
        return st::kNeniBlokoveZarizeni + common::shownName(devicePath);
    if (o.error == ENOMEDIUM)
        return st::kZarizeniBezMedia + common::shownName(devicePath);
    if (o.error != 0)
        return st::kZarizeniNelzeOtevrit + common::shownName(devicePath) + " (" + std::strerror(o.error) + ")";
    SurfaceScanSettings settings = surfaceSettingsFor(o.device.device, 1.0);
    s_->scan = std::make_unique<SurfaceScan>(o.device.fd.get(), devicePath, SurfaceMap(o.device.size),
                                             o.device.logicalBlock, settings);
    s_->queue = platform::makeReadQueue(static_cast<unsigned>(settings.plan.depth), platform::ioUringAllowed());
    return {};
}

void DeviceScanRun::startReading(std::function<void()> wake)
{
    s_->wake = std::move(wake);
    reader_ = std::thread([s = s_] {
        s->end = s->scan->run(*s->queue);
        s->readingEnded = true;
        s->notify();
    });
}

void DeviceScanRun::startMapping(std::function<void()> wake)
{
    {
        std::lock_guard lock(s_->wakeMutex);
        s_->wake = std::move(wake);
    }
    mapper_ = std::thread([s = s_] {
        std::vector<ByteRange> damaged = s->scan->snapshot().map.unfinishedAreas();
        const auto& slow = s->scan->slowRanges();
        damaged.insert(damaged.end(), slow.begin(), slow.end());
        DamageMap map(damaged);
        if (!map.empty()) {
            dev_t device = s->opened.device.device;
            collectWhatLiesThere(s->devicePath, device, map, [&] { return s->stopMapping.load(); });
            if (!s->stopMapping)
                s->hits = map.hits(areaClassifier(s->devicePath, device));
            s->hitsDropped = map.hitsDropped();
        }
        s->mappingEnded = true;
        s->notify();
    });
}

void DeviceScanRun::stop()
{
    s_->stopMapping = true;
    if (s_->scan) {
        s_->scan->stop();
        s_->queue->wake();
    }
}

DeviceScanRun::~DeviceScanRun()
{
    s_->forgetWake();
    stop();
    if (mapper_.joinable()) {
        if (s_->mappingEnded)
            mapper_.join();
        else
            mapper_.detach(); // a walk stalled in the kernel; it holds its own share of s_
    }
    if (!reader_.joinable())
        return;
    if (!s_->readingEnded) {
        s_->scan->abandon();
        s_->queue->wake();
        for (int i = 0; i < 20 && !s_->readingEnded; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    bool leftInFlight = !s_->readingEnded || s_->end == SurfaceScan::End::Abandoned;
    if (s_->readingEnded)
        reader_.join();
    else
        reader_.detach();
    // The kernel may still write into the buffers of requests in flight: they stay.
    if (leftInFlight)
        keepForGood(s_);
}

// For the rest of the process's life, never destroyed (not even at exit, when a request may
// still come back), and reachable, so that a leak check does not take it for a leak.
void DeviceScanRun::keepForGood(std::shared_ptr<Shared> shared)
{
    static std::mutex mutex;
    static auto* kept = new std::vector<std::shared_ptr<Shared>>;
    std::lock_guard lock(mutex);
    kept->push_back(std::move(shared));
}

DeviceScanFindings DeviceScanRun::findings() const
{
    DeviceScanFindings f;
    std::vector<ByteRange> bad = s_->scan->snapshot().map.unfinishedAreas();
    f.badAreas = bad.size();
    f.slow = s_->scan->slow();
    f.slowDropped = s_->scan->slowDropped();
    f.hits = s_->hits;
    f.hitsDropped = s_->hitsDropped;
    std::map<std::string, std::size_t> index;
    std::vector<std::string> paths;
    std::vector<std::vector<ByteRange>> inFile;
    for (const auto& h : f.hits) {
        if (h.path.empty() || !overlaps(h, bad))
            continue;
        auto [at, added] = index.emplace(h.path, paths.size());
        if (added) {
            paths.push_back(h.path);
            inFile.emplace_back();
        }
        inFile[at->second].emplace_back(h.fileOffset, h.fileOffset + (h.end - h.start));
    }
    for (std::size_t i = 0; i < inFile.size(); ++i) {
        std::vector<ByteRange>& ranges = inFile[i];
        std::sort(ranges.begin(), ranges.end());
        Finding finding = Finding::of(Finding::Kind::Read, std::strerror(EIO), ranges.front().first);
        finding.path = paths[i];
        finding.mapped = true;
        for (const auto& [start, end] : ranges)
            finding.addRange(start, std::max(end, finding.ranges.empty() ? end : finding.ranges.back().second));
        f.damagedFiles.push_back(std::move(finding));
    }
    return f;
}

} // namespace

std::unique_ptr<DeviceScan> makeDeviceScan()
{
    return std::make_unique<DeviceScanRun>();
}

} // namespace engine
