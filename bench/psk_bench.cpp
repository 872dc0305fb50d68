// Extraction time of the archive module on members of realistic size (a few MB) against
// zlib's own inflate plus crc32 of the same data, measured in the same run. Prints the
// median of 9 runs in milliseconds and the ratio to that baseline.
#include "archive/pskomp.h"
#include "common/pelun.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tools/psk_writer.h"

#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

class PrintingPort final : public common::MessagePort {
public:
    common::DialogResult show(common::DialogKind, const std::string& text) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return common::DialogResult::Ok;
    }
    void beep() override {}
};

double medianMs(const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Text-like content: words from a small vocabulary with numbers, compressing about 3 : 1.
std::vector<std::uint8_t> textLike(std::size_t size)
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

// Picture-like content: already compressed data that deflate cannot shrink.
std::vector<std::uint8_t> noise(std::size_t size)
{
    std::mt19937 random(7);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(random());
    return out;
}

} // namespace

int main()
{
    char pattern[] = "/tmp/psk-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string archivePath = dir + "/bench.psk";
    struct Case {
        std::string name;
        std::vector<std::uint8_t> data;
    };
    std::vector<Case> cases;
    for (std::size_t mib : {1, 4, 8})
        cases.push_back({"TEXT" + std::to_string(mib), textLike(mib << 20)});
    cases.push_back({"PICTURE4", noise(4u << 20)});
    std::vector<tools::PskMember> members;
    for (const Case& c : cases)
        members.push_back({c.name, c.data, 1});
    tools::writePsk(archivePath, members, 1);

    PrintingPort port;
    platform::KeyValueStore registry(dir + "/registry.ini");
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    common::Pelun pelun(port, drives, registry, {dir, dir + "/Windows"});
    archive::Pskomp psk(pelun);
    psk.startUp(dir);
    std::int32_t n = -1;
    if (!psk.PSK_OpenArchive(n, archivePath, 0))
        return 1;

    std::printf("member       size  zlib inflate+crc32 ms  extract ms  ratio  (median of 9)\n");
    for (const Case& c : cases) {
        std::vector<std::uint8_t> compressed(::compressBound(c.data.size()));
        uLongf compressedSize = compressed.size();
        ::compress2(compressed.data(), &compressedSize, c.data.data(), c.data.size(), Z_BEST_COMPRESSION);
        std::vector<std::uint8_t> out(c.data.size());
        volatile uLong sink = 0;
        double baseline = medianMs([&] {
            uLongf size = out.size();
            ::uncompress(out.data(), &size, compressed.data(), compressedSize);
            sink = ::crc32(0, out.data(), size);
        });
        double extract = medianMs([&] {
            if (psk.PSK_GetFileStream(c.name) != 1)
                std::abort();
        });
        std::printf("%-9s %5.1f MiB %18.1f %15.1f %6.2f\n", c.name.c_str(), c.data.size() / 1048576.0, baseline,
                    extract, extract / baseline);
    }
    psk.shutDown();
    std::remove(archivePath.c_str());
    std::remove((dir + "/registry.ini").c_str());
    ::rmdir(dir.c_str());
    return 0;
}
