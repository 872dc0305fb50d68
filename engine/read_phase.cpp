#include "engine/vorkan_engine.h"
#include "platform/dir_listing.h"

#include <algorithm>
#include <deque>

namespace engine {

void VorkanEngine::readPhase(const TestSettings& settings)
{
    if (settings.object == TestObject::Soubor)
        TestujSoubor({settings.SoubE, run_.VelCelk, std::nullopt}, true);
    else
        TestujAdresar(run_.CestaTestu);
    reader_.dropAll(); // whatever a stop left queued
}

void VorkanEngine::TestujAdresar(const std::string& path)
{
    yield(YieldPoint::TestDirectory);
    {
        // The files of the directory in listing order; the next few are handed to the reader
        // before their turn so that it can open and read them while the engine yields.
        platform::DirListing files(device_);
        std::deque<ListedFile> ahead;
        bool more = run_.Bezi && files.first(path);
        auto listMore = [&] {
            while (more && run_.Bezi && ahead.size() <= static_cast<std::size_t>(filesAhead_)) {
                const platform::DirEntry& e = files.entry();
                if (!e.isDirectory()) {
                    ListedFile f{path + "/" + e.name, e.size, std::nullopt};
                    if (filesAhead_ > 0)
                        f.job = reader_.queue({f.name, f.size, quick_, false});
                    ahead.push_back(std::move(f));
                }
                more = files.next();
            }
        };
        listMore();
        while (!ahead.empty() && run_.Bezi) {
            ListedFile f = std::move(ahead.front());
            ahead.pop_front();
            TestujSoubor(f, false);
            listMore();
        }
    }
    platform::DirListing dirs(device_);
    for (bool ok = run_.Bezi && dirs.first(path); ok; ok = run_.Bezi && dirs.next()) {
        if (dirs.entry().isDirectory())
            TestujAdresar(path + "/" + dirs.entry().name);
    }
}

void VorkanEngine::TestujSoubor(const ListedFile& file, bool followLink)
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
    BackgroundReader::Job job = file.job ? *file.job : reader_.queue({name, size, quick_, followLink});
    std::int64_t read = 0;
    for (;;) {
        std::int64_t chunk = quick_ ? kQuickTestBytes : std::max<std::int64_t>(0, std::min(kChunkSize, size - read));
        auto e = awaitRead(job);
        if (!e)
            break; // stopped while the open or read was under way
        if (e->kind != ReadEvent::Kind::Chunk) {
            fileFailed(name, size, read);
            break;
        }
        if (quick_) {
            if (e->bytes != chunk)
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
    reader_.finish(job);
    ++run_.TestovanoSoub;
}

std::optional<ReadEvent> VorkanEngine::awaitRead(BackgroundReader::Job job)
{
    for (;;) {
        if (auto e = reader_.poll(job))
            return e;
        if (!run_.Bezi)
            return std::nullopt; // a stop does not wait for a read that may never return
        if (!reader_.prepareToSleep(job))
            host_.waitForEvents(YieldPoint::WaitingForRead);
    }
}

void VorkanEngine::fileFailed(const std::string& name, std::int64_t size, std::int64_t read)
{
    view_.result.ChybSezn.push_back(name);
    run_.Zpracovano += size - read;
}

} // namespace engine
