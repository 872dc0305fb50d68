#include "engine/vorkan_engine.h"

#include "platform/clock.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace engine {

using platform::WalkEntry;

namespace {

std::string errorText(int error)
{
    return error == 0 ? std::string() : std::string(std::strerror(error));
}

Finding directoryFinding(const WalkEntry& e)
{
    return Finding::of(Finding::Kind::Directory, errorText(e.error), std::nullopt);
}

// A failed open or read as the reader told it; read: what the engine had counted of the file.
Finding failureOf(const ReadEvent& e)
{
    if (e.kind == ReadEvent::Kind::OpenFailed)
        return Finding::of(Finding::Kind::Open, errorText(e.error), std::nullopt);
    return Finding::of(Finding::Kind::Read, errorText(e.error), e.offset);
}

} // namespace

void VorkanEngine::readPhase(const TestSettings& settings)
{
    if (!loadFoundManifests())
        return;
    if (settings.object == TestObject::Soubor) {
        TestujSoubor({settings.SoubE, run_.VelCelk, reader_.startFile(settings.SoubE, run_.VelCelk, quick_)});
    } else {
        reader_.startWalk(run_.CestaTestu, WalkPurpose::Read, quick_, filesAhead_);
        if (auto root = awaitWalk())
            TestujAdresar(root->entry);
        // Directories counted but no longer found took their files with them, unless one
        // that failed now may have hidden them (its finding stands for what is below it).
        bool directoryFailed = std::any_of(findings_.items.begin(), findings_.items.end(),
                                           [](const Finding& f) { return f.kind == Finding::Kind::Directory; });
        if (run_.Bezi && !directoryFailed) {
            for (const auto& [dir, files] : countedFiles_)
                findings_.vanished += files;
        }
        countedFiles_.clear();
    }
    awaitDigests();
    reader_.stop(); // whatever a stop left under way
    addMissingFiles();
}

// Tests the tree whose root the walk has just entered, or failed to. Subdirectories are
// tested in the same loop, which keeps only a small record of each directory open, so a tree
// of any depth fits.
void VorkanEngine::TestujAdresar(const WalkEntry& dir)
{
    struct Open {
        std::int64_t found = 0; // files met in it
        bool broken = false;    // its listing broke: its finding stands for what is missing
    };
    std::vector<Open> open; // directories entered and not yet left
    if (enterTestDirectory(dir))
        open.emplace_back();
    while (!open.empty() && run_.Bezi) {
        auto item = awaitWalk();
        if (!item)
            return;
        const WalkEntry& e = item->entry;
        switch (e.kind) {
        case WalkEntry::Kind::File:
            ++open.back().found;
            TestujSoubor({e.path, e.size, item->job});
            break;
        case WalkEntry::Kind::DirectoryBegin:
        case WalkEntry::Kind::DirectoryFailed:
            if (enterTestDirectory(e))
                open.emplace_back();
            break;
        case WalkEntry::Kind::ListingBroken:
            addFinding(e.path, directoryFinding(e)); // some of its entries could not be tested
            open.back().broken = true;
            break;
        case WalkEntry::Kind::DirectoryEnd:
            countVanished(e.path, open.back().broken ? -1 : open.back().found);
            open.pop_back();
            break;
        }
    }
}

// False when the directory could not be opened: it is a finding, and nothing in it follows.
bool VorkanEngine::enterTestDirectory(const WalkEntry& dir)
{
    yield(YieldPoint::TestDirectory);
    if (dir.kind == WalkEntry::Kind::DirectoryFailed) {
        addFinding(dir.path, directoryFinding(dir));             // nothing in it could be tested
        countedFiles_.erase(std::hash<std::string>{}(dir.path)); // named by the finding
        return false;
    }
    return true;
}

// found: the files the read phase met in dir, or -1 when its listing broke (its finding
// stands for what is missing). Counted per directory, so no list of files is kept: a file
// that vanished while another one was added to the same directory goes unseen.
void VorkanEngine::countVanished(const std::string& dir, std::int64_t found)
{
    auto it = countedFiles_.find(std::hash<std::string>{}(dir));
    if (it == countedFiles_.end())
        return;
    if (found >= 0)
        findings_.vanished += std::max<std::int64_t>(0, it->second - found);
    countedFiles_.erase(it);
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
    const std::size_t findingsBefore = findings_.items.size();
    bool whole = false;
    std::int64_t read = 0;
    ReadEvent rest; // the units of a Chunk event not yet taken: none
    rest.units = 0;
    for (;;) {
        std::int64_t chunk = std::max<std::int64_t>(0, std::min(kChunkSize, size - read));
        auto e = awaitUnit(file, rest);
        if (!e)
            break; // stopped while the open or read was under way
        if (e->kind != ReadEvent::Kind::Chunk) {
            fileFailed(file, read, failureOf(*e));
            if (e->kind == ReadEvent::Kind::ReadFailed && map_ && !quick_)
                mapDamage(file);
            break;
        }
        if (quick_) {
            // A file of 0 or 1 byte passes when it gives back all it holds.
            if (e->bytes < std::min(kQuickTestBytes, std::max<std::int64_t>(size, 0)))
                fileFailed(
                    file, 0,
                    Finding::of(Finding::Kind::Short, {}, e->bytes)); // the quick test moves no counter otherwise
            break;
        }
        if (e->bytes != chunk) {
            if (chunk == 0)
                addFinding(name, Finding::of(Finding::Kind::Grown, {}, std::nullopt));
            else
                fileFailed(file, read, Finding::of(Finding::Kind::Short, {}, read + e->bytes));
            break;
        }
        findings_.bytesRead += chunk;
        run_.PrectenoTik += chunk;
        read += chunk;
        run_.Zpracovano += chunk;
        run_.PrectenoAktSoub += chunk;
        yield(YieldPoint::AfterChunk);
        whole = read >= size;
        if (!run_.Bezi || whole)
            break;
    }
    if (hashing() && whole) {
        fileReadWhole(file); // the job ends when its digests have been taken
    } else {
        if (hashing())
            fileNotReadWhole(file, findings_.items.size() > findingsBefore);
        reader_.finish(file.job);
    }
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

// One unit at a time, though the reader tells the units of a request together: rest keeps
// those still to come (none: units 0).
std::optional<ReadEvent> VorkanEngine::awaitUnit(const ListedFile& file, ReadEvent& rest)
{
    if (rest.units == 0) {
        auto e = awaitRead(file);
        if (!e || e->kind != ReadEvent::Kind::Chunk || e->units <= 1)
            return e;
        rest = *e;
    }
    ReadEvent unit = rest;
    unit.units = 1;
    if (--rest.units > 0) {
        unit.bytes = kChunkSize;
        rest.bytes -= kChunkSize;
    }
    return unit;
}

// Slow reads are taken on the way: they are no failure, only worth knowing.
std::optional<ReadEvent> VorkanEngine::awaitRead(const ListedFile& file)
{
    const BackgroundReader::Job job = file.job;
    for (;;) {
        if (auto e = reader_.poll(job)) {
            if (e->kind != ReadEvent::Kind::Slow)
                return e;
            if (findings_.slow.size() < kSlowReadsKept)
                findings_.slow.push_back({file.name, e->offset, e->seconds,
                                          static_cast<double>(clock_.localSeconds() - run_.CasStartCteni)});
            else
                ++findings_.slowDropped;
            continue;
        }
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

void VorkanEngine::fileFailed(const ListedFile& file, std::int64_t read, Finding finding)
{
    addFinding(file.name, std::move(finding));
    run_.Zpracovano += file.size - read;
}

// The reader goes on past the failed read only when it maps the damage; otherwise the job
// has ended and nothing more comes.
void VorkanEngine::mapDamage(const ListedFile& file)
{
    Finding& finding = findings_.items.back();
    while (auto e = awaitRead(file)) {
        if (e->kind == ReadEvent::Kind::BadRange) {
            finding.mapped = true;
            finding.addRange(e->offset, e->offset + e->bytes);
        } else if (e->kind == ReadEvent::Kind::MapDone) {
            return;
        }
    }
}

// The way into the error list: the checksum findings of the files before come first.
void VorkanEngine::addFinding(const std::string& path, Finding finding)
{
    awaitDigests();
    insertFinding(path, std::move(finding));
}

// The only place that writes the error list: each entry and its finding go in together.
void VorkanEngine::insertFinding(const std::string& path, Finding finding)
{
    finding.path = path;
    view_.result.ChybSezn.push_back(path);
    findings_.items.push_back(std::move(finding));
}

void VorkanEngine::clearFindings()
{
    view_.result.ChybSezn.clear();
    findings_.clear();
}

} // namespace engine
