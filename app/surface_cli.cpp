#include "app/surface_cli.h"

#include "app/cli_texts.h"
#include "common/encoding.h"
#include "common/pelun.h"
#include "engine/damage_walk.h"
#include "engine/device_scan_run.h"
#include "engine/mapfile.h"
#include "engine/report.h"
#include "engine/surface_result.h"
#include "engine/surface_scan.h"
#include "engine/surface_texts.h"
#include "platform/block_device.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/input_file.h"
#include "platform/read_profile.h"
#include "platform/read_queue.h"
#include "platform/save_file.h"
#include "platform/standard_streams.h"
#include "platform/stop_signals.h"
#include "platform/text_file.h"
#include "platform/wake_event.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

namespace app {

namespace st = engine::texts;

namespace {

enum Exit { kOk = 0, kBadAreas = 1, kRefused = 2, kOutputFailed = 4, kStopped = 130 };

using Clock = std::chrono::steady_clock;

constexpr auto kSaveInterval = std::chrono::seconds(30);
// How long a stop waits for the reads in flight before the program leaves without them:
// within the time the watching parent gives the test after a signal.
constexpr auto kStopGrace = std::chrono::milliseconds(500);
constexpr std::size_t kMapfileLimit = 256u << 20;

void refuse(const char* text, const std::string& detail)
{
    std::fprintf(stderr, "%s%s\n", text, common::shownName(detail).c_str());
}

// The map to begin with: a fresh one, or the one of an earlier scan of this device.
std::optional<engine::SurfaceMap> startingMap(const SurfaceCliOptions& o, std::int64_t size)
{
    if (!o.mapfile)
        return engine::SurfaceMap(size);
    auto read = platform::readTextFile(*o.mapfile, kMapfileLimit);
    if (!read.exists)
        return engine::SurfaceMap(size);
    std::string why;
    if (!read.regular)
        why = "not a regular file";
    else if (read.error != 0)
        why = std::strerror(read.error);
    std::optional<engine::ParsedMapfile> parsed;
    if (why.empty())
        parsed = engine::parseMapfile(read.content, why);
    if (!parsed) {
        refuse(st::kMapfileNelzePrecist, *o.mapfile + " (" + why + ")");
        return std::nullopt;
    }
    if (parsed->map.size() != size) {
        refuse(st::kMapfileJinaVelikost,
               *o.mapfile + " (" + std::to_string(parsed->map.size()) + " B, " + o.device + " " + std::to_string(size) +
                   " B)");
        return std::nullopt;
    }
    return std::move(parsed->map);
}

class MapfileWriter {
public:
    MapfileWriter(const SurfaceCliOptions& o) : o_(o), started_(platform::localDateTimeText()) {}
    bool save(const engine::SurfaceScan::Snapshot& s)
    {
        if (!o_.mapfile)
            return true;
        std::string text =
            engine::formatMapfile(s.map, s.status, {o_.commandLine, started_, platform::localDateTimeText()});
        int error = platform::saveFile(*o_.mapfile, text, 0644);
        if (error != 0 && !reported_) {
            refuse(st::kMapfileNelzeUlozit, *o_.mapfile + ": " + std::strerror(error));
            reported_ = true;
        }
        return error == 0;
    }

private:
    const SurfaceCliOptions& o_;
    std::string started_;
    bool reported_ = false;
};

class StatusText {
public:
    StatusText() : enabled_(platform::standardErrorIsTerminal()) {}
    void show(const std::string& line)
    {
        if (!enabled_)
            return;
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void clear()
    {
        if (shown_)
            std::fputs("\r\033[K", stderr);
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
};

std::string statusLine(const engine::SurfaceScan& scan, std::int64_t size, double elapsed, double speed)
{
    std::int64_t settled = scan.bytesSettled();
    int percent = size > 0 ? static_cast<int>(settled * 100 / size) : 100;
    double average = elapsed > 0 ? static_cast<double>(scan.bytesRead()) / elapsed : 0;
    auto remaining = average > 0 ? static_cast<std::int32_t>(static_cast<double>(size - settled) / average) : 0;
    return st::kPovrchPozice + std::to_string(scan.position()) + " | " + std::to_string(percent) + " %" +
        st::kPovrchUplynulo + common::PS_FormatTime(static_cast<std::int32_t>(elapsed)) + st::kPovrchZbyva +
        common::PS_FormatTime(remaining) + " | " + std::to_string(static_cast<long long>(speed / 1024)) + st::kKBs;
}

bool printText(const std::string& text)
{
    std::string shown = common::validUtf8(text);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    return platform::flushStandardOutput() == 0;
}

// Runs the scan on a thread of its own while this one answers signals, shows the status
// and saves the map. Returns how the scan ended; Abandoned leaves reads in flight.
struct ScanRun {
    engine::SurfaceScan::End end = engine::SurfaceScan::End::Finished;
    double seconds = 0;
    std::vector<engine::SpeedSample> speed;
};

ScanRun runScan(engine::SurfaceScan& scan, platform::ReadQueue& queue, platform::StopSignals& signals,
                MapfileWriter& mapfile, std::int64_t size)
{
    platform::WakeEvent done;
    ScanRun run;
    std::thread worker([&] {
        run.end = scan.run(queue);
        done.wake();
    });
    StatusText status;
    engine::SpeedCurve curve;
    auto began = Clock::now();
    auto nextTick = began + std::chrono::seconds(1);
    auto nextSave = began + kSaveInterval;
    auto stopDeadline = Clock::time_point::max();
    std::int64_t lastBytes = 0;
    bool finished = false;
    while (!finished) {
        auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::min(nextTick, stopDeadline) - Clock::now());
        if (done.waitFor(static_cast<int>(std::max<long long>(wait.count() + 1, 0)), signals).wake)
            finished = true;
        auto now = Clock::now();
        if (signals.take() && stopDeadline == Clock::time_point::max()) {
            scan.stop();
            queue.wake();
            // Saved at once: the parent ends this process if the stop takes too long.
            mapfile.save(scan.snapshot());
            stopDeadline = now + kStopGrace;
        }
        if (!finished && now >= stopDeadline) {
            status.clear();
            scan.abandon();
            queue.wake();
            mapfile.save(scan.snapshot());
            std::fflush(stderr);
            // A read stalled in the kernel holds its thread and buffer: leave without them.
            std::_Exit(kStopped);
        }
        if (now >= nextTick) {
            double elapsed = std::chrono::duration<double>(now - began).count();
            std::int64_t bytes = scan.bytesRead();
            double speed = static_cast<double>(bytes - lastBytes);
            lastBytes = bytes;
            curve.add(elapsed, speed);
            status.show(statusLine(scan, size, elapsed, speed));
            nextTick += std::chrono::seconds(1);
            if (nextTick < now)
                nextTick = now + std::chrono::seconds(1);
        }
        if (now >= nextSave) {
            mapfile.save(scan.snapshot());
            nextSave = now + kSaveInterval;
        }
    }
    worker.join();
    status.clear();
    run.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    run.speed = curve.samples();
    return run;
}

// Runs job on a thread of its own while this one answers a stop: the walk of a mounted
// filesystem on a failing device can hang in the kernel, and Ctrl+C must still end the
// program. False when stopped; a job that does not end soon after is left behind.
bool offThread(platform::StopSignals& signals, std::atomic<bool>& stop, const std::function<void()>& job)
{
    platform::WakeEvent done;
    std::thread worker([&] {
        job();
        done.wake();
    });
    auto deadline = Clock::time_point::max();
    for (;;) {
        int wait = deadline == Clock::time_point::max() ? -1 : 50;
        if (done.waitFor(wait, signals).wake)
            break;
        if (signals.take() && !stop) {
            stop = true;
            deadline = Clock::now() + kStopGrace;
        }
        if (Clock::now() >= deadline) {
            std::fflush(stderr);
            std::_Exit(kStopped);
        }
    }
    worker.join();
    return !stop;
}

} // namespace

std::optional<std::string> deviceOfDrive(const std::string& driveText)
{
    auto table = platform::DriveTable::fromMountTable();
    const platform::Drive* drive = driveText.empty() ? nullptr : table.find(driveText[0]);
    if (drive == nullptr || drive->source.empty() || drive->source[0] != '/') {
        refuse(st::kJednotkaBezZarizeni, driveText);
        return std::nullopt;
    }
    return drive->source;
}

namespace {

// The device opened for the scan, or false after the refusal was told.
bool deviceAccepted(const platform::BlockDeviceOpen& opened, const SurfaceCliOptions& o)
{
    if (opened.notBlockDevice) {
        refuse(st::kNeniBlokoveZarizeni, o.device);
        return false;
    }
    if (opened.error == ENOMEDIUM) {
        refuse(st::kZarizeniBezMedia, o.device);
        return false;
    }
    if (opened.error != 0) {
        refuse(st::kZarizeniNelzeOtevrit, o.device + " (" + std::strerror(opened.error) + ")");
        return false;
    }
    // Writing the result over the device under test would destroy what was just tested.
    auto scanned = platform::identityOf(o.device);
    if (!o.json.empty() && o.json != "-" && scanned && platform::identityOf(o.json) == scanned) {
        refuse(st::kVystupJeZarizeni, o.json);
        return false;
    }
    return true;
}

engine::SurfaceResult resultOf(const SurfaceCliOptions& o, const platform::BlockDevice& device,
                               const engine::SurfaceScan& scan, ScanRun& run)
{
    engine::SurfaceResult result;
    result.device = o.device;
    result.size = device.size;
    result.logicalBlock = device.logicalBlock;
    result.bytesRead = scan.bytesRead();
    result.seconds = run.seconds;
    result.map = scan.snapshot().map;
    result.slow = scan.slow();
    result.slowRanges = scan.slowRanges();
    result.slowDropped = scan.slowDropped();
    result.speed = std::move(run.speed);
    return result;
}

// Fills the result's hits; false when stopped meanwhile.
bool mapHits(const SurfaceCliOptions& o, const platform::BlockDevice& device, platform::StopSignals& signals,
             engine::SurfaceResult& result)
{
    std::vector<engine::ByteRange> damaged = result.badAreas();
    damaged.insert(damaged.end(), result.slowRanges.begin(), result.slowRanges.end());
    engine::DamageMap hits(damaged);
    if (hits.empty())
        return true;
    std::atomic<bool> stop{false};
    bool done = offThread(signals, stop, [&] {
        engine::collectWhatLiesThere(o.device, device.device, hits, [&] { return stop.load(); });
        if (!stop)
            result.hits = hits.hits(engine::areaClassifier(o.device, device.device));
    });
    result.hitsDropped = hits.hitsDropped();
    return done;
}

// The summary and the JSON result; false when either could not be written (told once).
bool writeOutputs(const SurfaceCliOptions& o, const engine::SurfaceResult& result)
{
    bool arrived = true;
    if (o.json != "-")
        arrived = printText(engine::joinLines(engine::surfaceSummary(result), "\n"));
    if (o.json.empty())
        return arrived;
    std::string doc = engine::surfaceJson(result);
    if (o.json == "-")
        return printText(doc) && arrived;
    auto saved = engine::saveFile(o.json, doc, app::texts::kJsonNelzeUlozit);
    if (!saved.ok)
        std::fprintf(stderr, "%s\n", saved.error.c_str());
    return saved.ok && arrived;
}

} // namespace

int runSurface(const SurfaceCliOptions& o)
{
    auto opened = platform::openBlockDevice(o.device);
    if (!deviceAccepted(opened, o))
        return kRefused;
    platform::BlockDevice& device = opened.device;
    auto map = startingMap(o, device.size);
    if (!map)
        return kRefused;

    engine::SurfaceScanSettings settings = engine::surfaceSettingsFor(device.device, o.slow);
    platform::StopSignals signals;
    MapfileWriter mapfile(o);
    engine::SurfaceScan scan(device.fd.get(), o.device, std::move(*map), device.logicalBlock, settings);
    if (!mapfile.save(scan.snapshot()))
        return kOutputFailed;
    auto queue = platform::makeReadQueue(static_cast<unsigned>(settings.plan.depth), platform::ioUringAllowed());
    ScanRun run = runScan(scan, *queue, signals, mapfile, device.size);
    bool saved = mapfile.save(scan.snapshot());
    if (run.end != engine::SurfaceScan::End::Finished)
        return saved ? kStopped : kOutputFailed;

    engine::SurfaceResult result = resultOf(o, device, scan, run);
    if (!mapHits(o, device, signals, result))
        return kStopped;
    if (!writeOutputs(o, result) || !saved)
        return kOutputFailed;
    return result.badAreas().empty() ? kOk : kBadAreas;
}

} // namespace app
