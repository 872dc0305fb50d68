// Extraction and checksum throughput of the archive module against zlib's own inflate and
// crc32 on the same data, in the same run. Prints ratios (median of 5 runs).
#include "archive/pskomp.h"
#include "common/pelun.h"
#include "common/psmath.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tools/psk_writer.h"

#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

class SilentPort final : public common::MessagePort {
public:
    common::DialogResult show(common::DialogKind, const std::string& text) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return common::DialogResult::Ok;
    }
    void beep() override {}
};

double medianSeconds(const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

// Text-like content: words from a small vocabulary with numbers, compressing about 3 : 1.
std::vector<std::uint8_t> content(std::size_t size)
{
    static const char* words[] = {"soubor ", "archív ", "data ", "PELUN ", "čtení ", "test ", "jednotka ", "\r\n"};
    std::mt19937 random(42);
    std::vector<std::uint8_t> out;
    out.reserve(size);
    while (out.size() < size) {
        std::string w = random() % 5 == 0 ? std::to_string(random() % 100000) + " " : words[random() % 8];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(size);
    return out;
}

} // namespace

int main()
{
    constexpr std::size_t kSize = 64u << 20;
    const std::vector<std::uint8_t> data = content(kSize);
    char pattern[] = "/tmp/psk-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string archivePath = dir + "/bench.psk";
    tools::writePsk(archivePath, {{"DEFLATED", data, 1}, {"STORED", data, 0}}, 1);

    std::vector<std::uint8_t> compressed(::compressBound(kSize));
    uLongf compressedSize = compressed.size();
    ::compress2(compressed.data(), &compressedSize, data.data(), kSize, Z_BEST_COMPRESSION);
    compressed.resize(compressedSize);

    SilentPort port;
    platform::KeyValueStore registry(dir + "/registry.ini");
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    common::Pelun pelun(port, drives, registry, {dir, dir + "/Windows"});
    archive::Pskomp psk(pelun);
    psk.startUp(dir);
    std::int32_t n = -1;
    if (!psk.PSK_OpenArchive(n, archivePath, 0))
        return 1;

    std::vector<std::uint8_t> out(kSize);
    double zInflate = medianSeconds([&] {
        uLongf size = kSize;
        ::uncompress(out.data(), &size, compressed.data(), compressed.size());
    });
    volatile uLong sink = 0;
    double zCrc = medianSeconds([&] { sink = ::crc32(0, data.data(), kSize); });
    double method1 = medianSeconds([&] {
        if (psk.PSK_GetFileStream("DEFLATED") != 1)
            std::abort();
    });
    double method0 = medianSeconds([&] {
        if (psk.PSK_GetFileStream("STORED") != 1)
            std::abort();
    });
    volatile std::uint32_t sink2 = 0;
    double pskCrc = medianSeconds([&] { sink2 = common::PSK_CRC32(data); });
    psk.shutDown();
    std::remove(archivePath.c_str());
    ::rmdir(dir.c_str());

    auto mbps = [](double seconds) { return 64.0 / seconds; };
    std::printf("64 MiB text-like member, deflated to %.1f MiB; median of 5 runs, MiB/s\n", compressedSize / 1048576.0);
    std::printf("zlib uncompress          %8.0f\n", mbps(zInflate));
    std::printf("zlib crc32               %8.0f\n", mbps(zCrc));
    std::printf("extract method 1         %8.0f   ratio to uncompress %.2f\n", mbps(method1), zInflate / method1);
    std::printf("extract method 0         %8.0f   ratio to uncompress %.2f\n", mbps(method0), zInflate / method0);
    std::printf("PSK_CRC32                %8.0f   ratio to crc32      %.3f\n", mbps(pskCrc), zCrc / pskCrc);
    return 0;
}
