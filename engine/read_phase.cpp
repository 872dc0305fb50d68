#include "engine/vorkan_engine.h"

#include <algorithm>

namespace engine {

using platform::WalkEntry;

void VorkanEngine::readPhase(const TestSettings& settings)
{
    if (settings.object == TestObject::Soubor) {
        TestujSoubor({settings.SoubE, run_.VelCelk, reader_.startFile(settings.SoubE, run_.VelCelk, quick_)});
    } else {
        reader_.startWalk(run_.CestaTestu, WalkPurpose::Read, quick_, filesAhead_);
        if (auto root = awaitWalk())
            TestujAdresar(root->entry);
    }
    reader_.stop(); // whatever a stop left under way
}

// Called when the walk has entered dir, or failed to. Returns after its last entry.
void VorkanEngine::TestujAdresar(const WalkEntry& dir)
{
    yield(YieldPoint::TestDirectory);
    if (dir.kind == WalkEntry::Kind::DirectoryFailed) {
        view_.result.ChybSezn.push_back(dir.path); // nothing in it could be tested
        return;
    }
    while (run_.Bezi) {
        auto item = awaitWalk();
        if (!item)
            return;
        const WalkEntry& e = item->entry;
        switch (e.kind) {
        case WalkEntry::Kind::File:
            TestujSoubor({e.path, e.size, item->job});
            break;
        case WalkEntry::Kind::DirectoryBegin:
        case WalkEntry::Kind::DirectoryFailed:
            TestujAdresar(e);
            break;
        case WalkEntry::Kind::ListingBroken:
            view_.result.ChybSezn.push_back(e.path); // some of its entries could not be tested
            break;
        case WalkEntry::Kind::DirectoryEnd:
            return;
        }
    }
}

void VorkanEngine::TestujSoubor(const ListedFile& file)
{
    const std::string& name = file.name;
    const std::int64_t size = file.size;
    yield(YieldPoint::BeforeFile);
    view_.test.PrubehSoub.set(0);
    run_.VelAktSoub = size;
    run_.PrectenoAktSoub = 0;
    view_.test.SoubJML = name;
    yield(YieldPoint::FileShown);
    if (!run_.Bezi) {
        ++run_.TestovanoSoub; // stopped before the file was read: it counts, unread
        return;
    }
    reader_.reachedFile(file.job);
    std::int64_t read = 0;
    for (;;) {
        std::int64_t chunk = std::max<std::int64_t>(0, std::min(kChunkSize, size - read));
        auto e = awaitRead(file.job);
        if (!e)
            break; // stopped while the open or read was under way
        if (e->kind != ReadEvent::Kind::Chunk) {
            fileFailed(name, size, read);
            break;
        }
        if (quick_) {
            // A file of 0 or 1 byte passes when it gives back all it holds.
            if (e->bytes < std::min(kQuickTestBytes, std::max<std::int64_t>(size, 0)))
                fileFailed(name, size, 0); // the quick test moves no counter otherwise
            break;
        }
        if (e->bytes != chunk) {
            if (chunk == 0)
                view_.result.ChybSezn.push_back(name); // listed as empty, holds data now
            else
                fileFailed(name, size, read); // came up short
            break;
        }
        run_.PrectenoTik += chunk;
        read += chunk;
        run_.Zpracovano += chunk;
        run_.PrectenoAktSoub += chunk;
        yield(YieldPoint::AfterChunk);
        if (!run_.Bezi || read >= size)
            break;
    }
    reader_.finish(file.job);
    ++run_.TestovanoSoub;
}

std::optional<WalkItem> VorkanEngine::awaitWalk()
{
    for (;;) {
        if (auto item = reader_.nextItem())
            return item;
        if (!run_.Bezi)
            return std::nullopt; // a stop does not wait for a listing that may never end
        if (!reader_.prepareToSleep(0))
            waitForReader();
    }
}

std::optional<ReadEvent> VorkanEngine::awaitRead(BackgroundReader::Job job)
{
    for (;;) {
        if (auto e = reader_.poll(job))
            return e;
        if (!run_.Bezi)
            return std::nullopt; // a stop does not wait for a read that may never return
        if (!reader_.prepareToSleep(job))
            waitForReader();
    }
}

// The window shows the state the run is waiting in, which may last (a stalled medium).
void VorkanEngine::waitForReader()
{
    host_.viewChanged();
    host_.waitForEvents(YieldPoint::WaitingForRead);
}

void VorkanEngine::fileFailed(const std::string& name, std::int64_t size, std::int64_t read)
{
    view_.result.ChybSezn.push_back(name);
    run_.Zpracovano += size - read;
}

} // namespace engine
