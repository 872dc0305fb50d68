#include "engine/vorkan_engine.h"
#include "platform/dir_listing.h"

#include <algorithm>

namespace engine {

void VorkanEngine::readPhase(const TestSettings& settings)
{
    if (settings.object == TestObject::Soubor)
        TestujSoubor(settings.SoubE, run_.VelCelk, true);
    else
        TestujAdresar(run_.CestaTestu);
}

void VorkanEngine::TestujAdresar(const std::string& path)
{
    yield(YieldPoint::TestDirectory);
    {
        platform::DirListing files(device_);
        for (bool ok = run_.Bezi && files.first(path); ok; ok = run_.Bezi && files.next()) {
            if (!files.entry().isDirectory())
                TestujSoubor(path + "/" + files.entry().name, files.entry().size, false);
        }
    }
    platform::DirListing dirs(device_);
    for (bool ok = run_.Bezi && dirs.first(path); ok; ok = run_.Bezi && dirs.next()) {
        if (dirs.entry().isDirectory())
            TestujAdresar(path + "/" + dirs.entry().name);
    }
}

void VorkanEngine::TestujSoubor(const std::string& name, std::int64_t size, bool followLink)
{
    yield(YieldPoint::BeforeFile);
    view_.test.PrubehSoub.set(0);
    run_.VelAktSoub = size;
    run_.PrectenoAktSoub = 0;
    view_.test.SoubJML = name;
    yield(YieldPoint::FileShown);

    if (!run_.Bezi) {
        ++run_.TestovanoSoub; // stopped before the file was opened: it counts, unread
        return;
    }
    reader_.start({name, size, quick_, followLink});
    std::int64_t read = 0;
    for (;;) {
        std::int64_t chunk = quick_ ? kQuickTestBytes : std::max<std::int64_t>(0, std::min(kChunkSize, size - read));
        auto e = awaitRead();
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
    reader_.finish();
    ++run_.TestovanoSoub;
}

std::optional<ReadEvent> VorkanEngine::awaitRead()
{
    for (;;) {
        if (auto e = reader_.poll())
            return e;
        if (reader_.spinForEvent())
            continue;
        if (!run_.Bezi)
            return std::nullopt; // a stop does not wait for a read that may never return
        host_.waitForEvents(YieldPoint::WaitingForRead);
    }
}

void VorkanEngine::fileFailed(const std::string& name, std::int64_t size, std::int64_t read)
{
    view_.result.ChybSezn.push_back(name);
    run_.Zpracovano += size - read;
}

} // namespace engine
