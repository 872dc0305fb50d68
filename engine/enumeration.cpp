#include "engine/engine_texts.h"
#include "engine/statistics.h"
#include "engine/vorkan_engine.h"
#include "platform/dir_listing.h"
#include "platform/disk_space.h"

#include <functional>

namespace engine {

using platform::WalkEntry;

void VorkanEngine::enumerate(const TestSettings& settings)
{
    if (settings.object == TestObject::Soubor) {
        ZjistiSoubor(settings.SoubE);
        return;
    }
    // The gauge of the counting compares the sizes found with the used space of the
    // filesystem that holds the object; without a usable figure it stays where it is.
    std::int64_t total = platform::diskSize(run_.CestaTestu);
    std::int64_t free = platform::diskFree(run_.CestaTestu);
    run_.ObsazenoDisk = (total < 0 || free < 0) ? 0.0 : static_cast<double>(total - free);
    run_.ZjistenoVel = 0;
    reader_.startWalk(run_.CestaTestu, WalkPurpose::Count, quick_, 0);
    if (auto root = awaitWalk())
        ZjistiAdresar(root->entry.path, root->entry.kind == WalkEntry::Kind::DirectoryBegin);
    reader_.stop();
}

void VorkanEngine::ZjistiSoubor(const std::string& name)
{
    if (auto entry = platform::lookUpFile(name)) {
        run_.PocetSoub = 1;
        run_.VelCelk = entry->size;
    }
}

// Called when the walk has entered path (listed false: it could not be opened, and counts
// as a directory without entries). Returns after the directory's last entry.
void VorkanEngine::ZjistiAdresar(const std::string& path, bool listed)
{
    view_.test.SoubJML = path;
    if (run_.ObsazenoDisk > 0)
        view_.test.PrubehSoub.set(roundAsFormatted(run_.ZjistenoVel / (run_.ObsazenoDisk / 100)));
    yield(YieldPoint::Directory);
    ++run_.PocetAdr;
    if (!listed)
        ++walkFailures_;
    std::int64_t files = 0;
    while (listed && run_.Bezi) {
        auto item = awaitWalk();
        if (!item)
            return;
        const WalkEntry& e = item->entry;
        switch (e.kind) {
        case WalkEntry::Kind::File:
            run_.VelCelk += e.size;
            run_.ZjistenoVel += static_cast<double>(e.size);
            ++run_.PocetSoub;
            ++files;
            break;
        case WalkEntry::Kind::DirectoryBegin:
        case WalkEntry::Kind::DirectoryFailed: ZjistiAdresar(e.path, e.kind == WalkEntry::Kind::DirectoryBegin); break;
        case WalkEntry::Kind::ListingBroken: ++walkFailures_; break; // the read phase reports it
        case WalkEntry::Kind::DirectoryEnd:
            if (files > 0)
                countedFiles_[std::hash<std::string>{}(path)] += files;
            return;
        }
    }
}

} // namespace engine
