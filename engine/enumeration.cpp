#include "engine/engine_texts.h"
#include "engine/statistics.h"
#include "engine/vorkan_engine.h"
#include "platform/dir_listing.h"
#include "platform/disk_space.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

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
    // Asked off this thread: a filesystem that stalls must not freeze the window.
    auto space = std::make_shared<std::pair<std::int64_t, std::int64_t>>(-1, -1);
    if (!askOffThread([space, path = run_.CestaTestu] {
            *space = {platform::diskSize(path), platform::diskFree(path)};
            return true;
        }))
        return; // stopped meanwhile
    auto [total, free] = *space;
    run_.ObsazenoDisk = (total < 0 || free < 0) ? 0.0 : static_cast<double>(total - free);
    run_.ZjistenoVel = 0;
    reader_.startWalk(run_.CestaTestu, WalkPurpose::Count, quick_, 0);
    if (auto root = awaitWalk())
        ZjistiAdresar(root->entry.path, root->entry.kind == WalkEntry::Kind::DirectoryBegin);
    reader_.stop();
}

void VorkanEngine::ZjistiSoubor(const std::string& name)
{
    auto found = std::make_shared<std::optional<platform::DirEntry>>();
    if (!askOffThread([found, name] {
            *found = platform::lookUpFile(name);
            return true;
        }))
        return; // stopped meanwhile
    if (auto entry = *found) {
        run_.PocetSoub = 1;
        run_.VelCelk = entry->size;
    }
}

// Counts the tree whose root the walk has just entered (listed false: it could not be
// opened, and counts as a directory without entries). Subdirectories are counted in the same
// loop, which keeps only the file count of each directory open, so a tree of any depth fits.
void VorkanEngine::ZjistiAdresar(const std::string& path, bool listed)
{
    std::vector<std::int64_t> filesIn; // of each directory entered and not yet left
    countDirectory(path, listed);
    if (listed)
        filesIn.push_back(0);
    while (!filesIn.empty() && run_.Bezi) {
        auto item = awaitWalk();
        if (!item)
            return;
        const WalkEntry& e = item->entry;
        switch (e.kind) {
        case WalkEntry::Kind::File:
            run_.VelCelk += e.size;
            run_.ZjistenoVel += static_cast<double>(e.size);
            ++run_.PocetSoub;
            ++filesIn.back();
            noteFoundManifest(e.path);
            break;
        case WalkEntry::Kind::DirectoryBegin:
            countDirectory(e.path, true);
            filesIn.push_back(0);
            break;
        case WalkEntry::Kind::DirectoryFailed: countDirectory(e.path, false); break;
        case WalkEntry::Kind::ListingBroken: ++walkFailures_; break; // the read phase reports it
        case WalkEntry::Kind::DirectoryEnd:
            if (filesIn.back() > 0)
                countedFiles_[std::hash<std::string>{}(e.path)] += filesIn.back();
            filesIn.pop_back();
            break;
        }
    }
}

void VorkanEngine::countDirectory(const std::string& path, bool listed)
{
    view_.test.SoubJML = path;
    if (run_.ObsazenoDisk > 0)
        view_.test.PrubehSoub.set(roundAsFormatted(run_.ZjistenoVel / (run_.ObsazenoDisk / 100)));
    yield(YieldPoint::Directory);
    ++run_.PocetAdr;
    if (!listed)
        ++walkFailures_;
}

} // namespace engine
