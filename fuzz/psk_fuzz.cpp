// Opens arbitrary bytes as an archive in both modes and extracts every member, loading the
// pictures and texts among them the way the catalogue would.
#include "archive/psk_format.h"
#include "archive/pskomp.h"
#include "common/encoding.h"
#include "common/pelun.h"
#include "platform/ascii.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

class SilentPort final : public common::MessagePort {
public:
    common::DialogResult show(common::DialogKind, const std::string&) override { return common::DialogResult::Ok; }
    void beep() override {}
};

const std::string& workDir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/psk-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            std::abort();
        return std::string(pattern);
    }();
    return dir;
}

void exercise(archive::Pskomp& psk, std::int32_t n)
{
    const archive::PSKArchive& a = psk.slot(n);
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < a.filesCount; ++i) {
        common::MemoryStream* stream = nullptr;
        psk.extractByIndex(n, i, stream);
        if (names.size() < 8) {
            auto r = archive::format::recordAt(a.table, static_cast<std::size_t>(i));
            names.push_back(common::cp1250ToUtf8(archive::format::storedName(a.names, r.nameOffset)));
        }
    }
    for (const std::string& name : names) {
        archive::Bitmap bitmap;
        std::vector<std::string> lines;
        std::string upper = platform::asciiUpper(name);
        if (upper.ends_with(".JPG") || upper.ends_with(".BMP"))
            psk.PSK_LoadPicture(name, bitmap);
        else
            psk.PSK_LoadString(name, lines);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = workDir() + "/input.psk";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    SilentPort port;
    platform::KeyValueStore registry(workDir() + "/registry.ini");
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    common::Pelun pelun(port, drives, registry, {workDir(), workDir() + "/Windows"});
    archive::Pskomp psk(pelun);
    psk.startUp(workDir());
    for (std::int32_t mode : {0, 1}) {
        std::int32_t n = -1;
        if (psk.PSK_OpenArchive(n, path, mode)) {
            exercise(psk, n);
            psk.PSK_CloseArchive(n);
        }
    }
    psk.shutDown();
    return 0;
}

#ifdef PSK_FUZZ_REPLAY
// Without libFuzzer: replays the inputs named on the command line.
int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::printf("replayed %s\n", argv[i]);
    }
    return 0;
}
#endif
