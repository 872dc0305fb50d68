#include "fuzz/psk_exercise.h"

#include "archive/psk_format.h"
#include "archive/pskomp.h"
#include "common/encoding.h"
#include "common/pelun.h"
#include "platform/ascii.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"

#include <fstream>
#include <vector>

namespace fuzzing {

namespace {

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

void exerciseArchive(const std::string& workDir, std::span<const std::uint8_t> data, common::MessagePort& port)
{
    const std::string path = workDir + "/input.psk";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    platform::KeyValueStore registry(workDir + "/registry.ini");
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    common::Pelun pelun(port, drives, registry, {workDir, workDir + "/Windows"});
    archive::Pskomp psk(pelun);
    psk.startUp(workDir);
    for (std::int32_t mode : {0, 1}) {
        std::int32_t n = -1;
        if (psk.PSK_OpenArchive(n, path, mode)) {
            exercise(psk, n);
            psk.PSK_CloseArchive(n);
        }
    }
    psk.shutDown();
}

} // namespace fuzzing
