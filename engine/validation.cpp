#include "common/encoding.h"
#include "common/pelun.h"
#include "engine/blocking_probe.h"
#include "engine/engine_texts.h"
#include "engine/vorkan_engine.h"
#include "platform/drives.h"
#include "platform/filesystem.h"

#include <algorithm>

namespace engine {

VorkanEngine::Admission VorkanEngine::validate(const TestSettings& settings)
{
    TestPageView& t = view_.test;
    switch (settings.object) {
    case TestObject::Jednotka: return validateDrive(settings.JednE);
    case TestObject::Adresar: {
        t.druhTOL = texts::kDruhAdresar;
        t.TOL = settings.AdrE;
        run_.CestaTestu = settings.AdrE;
        const std::string dir = settings.AdrE;
        // A directory whose medium fails is tested, and its failure becomes a finding; one
        // that does not exist or may not be read is refused.
        auto accessible = askOffThread([dir] {
            int problem = platform::directoryProblem(dir);
            return problem == 0 || platform::isMediumError(problem);
        });
        if (!accessible)
            return Admission::GivenUp;
        if (!*accessible) {
            pelun_.PS_ShowError(texts::kAdresarPrefix + settings.AdrE + texts::kNeniPristupny);
            return Admission::Refused;
        }
        return Admission::Accepted;
    }
    case TestObject::Soubor: {
        t.druhTOL = texts::kDruhSoubor;
        t.TOL = settings.SoubE;
        run_.CestaTestu = settings.SoubE;
        run_.PocetSoub = 1;
        run_.PocetAdr = 0;
        const std::string file = settings.SoubE;
        auto exists = askOffThread([file] {
            int problem = platform::fileProblem(file);
            return problem == 0 || platform::isMediumError(problem);
        });
        if (!exists)
            return Admission::GivenUp;
        if (!*exists) {
            pelun_.PS_ShowError(texts::kSouborPrefix + settings.SoubE + texts::kNeexistuje);
            return Admission::Refused;
        }
        return Admission::Accepted;
    }
    }
    return Admission::Refused;
}

VorkanEngine::Admission VorkanEngine::validateDrive(const std::string& text)
{
    if (text.empty()) {
        pelun_.PS_ShowError(texts::kNeplatneOznaceniJednotky);
        return Admission::Refused;
    }
    // The letter is the first character, not its first byte: "č" is refused as "č".
    const std::string L = common::firstCharacter(text);
    if (pelun_.PS_GetdriveType(L) == "*") {
        pelun_.PS_ShowError(L + texts::kNeniPlatneOznaceniJednotky);
        return Admission::Refused;
    }
    const char letter = L.front();
    TestPageView& t = view_.test;
    t.druhTOL = texts::kDruhJednotka;
    t.TOL = L + texts::kDriveRootSuffix;
    // A drive is walked from its mount point; the root filesystem from "" so that its
    // entries read "/bin", "/etc", ...
    const platform::Drive* drive = pelun_.drives().find(letter);
    run_.CestaTestu = drive != nullptr ? drive->walkPath() : L + ":";
    // PS_DriveReady's question, asked of a copy of the drive: a probe left behind on a hung
    // medium must not reach into the helper module, which may be gone by then.
    const std::optional<platform::Drive> known = drive != nullptr ? std::optional(*drive) : std::nullopt;
    const std::string root = run_.CestaTestu;
    auto ready = askOffThread(
        [known, root] { return known && platform::DriveTable::ready(*known) && platform::directoryListable(root); });
    if (!ready)
        return Admission::GivenUp;
    if (!*ready) {
        pelun_.PS_ShowError(texts::kJednotkaPrefix + L + texts::kNeniPripravena);
        return Admission::Refused;
    }
    return Admission::Accepted;
}

// Whether the object exists and can be listed is asked on a thread of its own: on a failing
// medium the answer may take minutes, and the window stays alive (and may be closed)
// meanwhile. Nothing when the run was stopped before the answer came.
//
// Each question left behind keeps its thread until the kernel lets it go. Starting again and
// again on a medium that does not answer would pile them up: past a few for the same object,
// a new question is not asked, and its answer is no, since the medium gives none.
std::optional<bool> VorkanEngine::askOffThread(std::function<bool()> question)
{
    constexpr std::ptrdiff_t kMostQuestionsLeftBehind = 4;
    std::erase_if(probesLeftBehind_, [](const QuestionLeftBehind& q) { return !q.stillAsking(); });
    if (std::count_if(probesLeftBehind_.begin(), probesLeftBehind_.end(), [&](const QuestionLeftBehind& q) {
            return q.object == run_.CestaTestu;
        }) >= kMostQuestionsLeftBehind)
        return false;
    BlockingProbe probe(std::move(question), [&host = host_] { host.wake(); });
    for (;;) {
        if (auto answer = probe.answer())
            return answer;
        if (!run_.Bezi) {
            probesLeftBehind_.push_back({run_.CestaTestu, probe.stillAsking()});
            return std::nullopt;
        }
        if (!probe.prepareToSleep())
            host_.waitForEvents(YieldPoint::Validating);
    }
}

bool VorkanEngine::readStillBlocked() const
{
    return reader_.busy() ||
        std::any_of(probesLeftBehind_.begin(), probesLeftBehind_.end(),
                    [](const QuestionLeftBehind& q) { return q.stillAsking(); });
}

} // namespace engine
