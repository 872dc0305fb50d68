#include "engine/engine_texts.h"
#include "engine/statistics.h"
#include "engine/vorkan_engine.h"
#include "platform/dir_listing.h"
#include "platform/disk_space.h"
#include "platform/filesystem.h"

namespace engine {

void VorkanEngine::enumerate(const TestSettings& settings)
{
    if (settings.object == TestObject::Soubor) {
        device_.reset();
        ZjistiSoubor(settings.SoubE);
        return;
    }
    // The gauge of the counting compares the sizes found with the used space of the
    // filesystem that holds the object; without a usable figure it stays where it is.
    std::int64_t total = platform::diskSize(run_.CestaTestu);
    std::int64_t free = platform::diskFree(run_.CestaTestu);
    run_.ObsazenoDisk = (total < 0 || free < 0) ? 0.0 : static_cast<double>(total - free);
    run_.ZjistenoVel = 0;
    device_ = platform::deviceOf(run_.CestaTestu);
    ZjistiAdresar(run_.CestaTestu);
}

void VorkanEngine::ZjistiSoubor(const std::string& name)
{
    if (auto entry = platform::lookUpFile(name)) {
        run_.PocetSoub = 1;
        run_.VelCelk = entry->size;
    }
}

void VorkanEngine::ZjistiAdresar(const std::string& path)
{
    view_.test.SoubJML = path;
    if (run_.ObsazenoDisk > 0)
        view_.test.PrubehSoub.set(roundAsFormatted(run_.ZjistenoVel / (run_.ObsazenoDisk / 100)));
    yield(YieldPoint::Directory);
    ++run_.PocetAdr;
    {
        platform::DirListing files(device_);
        for (bool ok = run_.Bezi && files.first(path); ok; ok = run_.Bezi && files.next()) {
            const platform::DirEntry& e = files.entry();
            if (e.isDirectory())
                continue;
            run_.VelCelk += e.size;
            run_.ZjistenoVel += static_cast<double>(e.size);
            ++run_.PocetSoub;
        }
    }
    platform::DirListing dirs(device_);
    for (bool ok = run_.Bezi && dirs.first(path); ok; ok = run_.Bezi && dirs.next()) {
        if (dirs.entry().isDirectory())
            ZjistiAdresar(path + "/" + dirs.entry().name);
    }
}

} // namespace engine
