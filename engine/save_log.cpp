#include "engine/save_log.h"

#include "common/pelun.h"
#include "engine/details_texts.h"
#include "engine/findings_json.h"
#include "engine/report.h"
#include "engine/report_texts.h"
#include "engine/verification_texts.h"
#include "engine/vorkan_engine.h"
#include "platform/filesystem.h"

#include <cstring>
#include <functional>
#include <memory>

namespace engine {

namespace {

// Anything of that name, also a dangling link, would be overwritten or fail: ask first.
// Asked through wait; nothing when the user gave the look up.
std::optional<bool> nameTaken(const std::string& path, const SaveWait& wait)
{
    return wait([path] { return platform::lookUpName(path).taken; });
}

// save runs through wait, perhaps on another thread and perhaps left behind there: it
// holds copies of all it needs. failedText begins the message of a save given up.
SaveLogOutcome askAndSave(common::Pelun& pelun, const std::string& path, const char* failedText, const SaveWait& wait,
                          std::function<SaveResult()> save)
{
    auto givenUp = [&] {
        pelun.PS_ShowError(failedText + path + texts::kUlozeniNedokonceno);
        return SaveLogOutcome::Failed;
    };
    auto taken = nameTaken(path, wait);
    if (!taken)
        return givenUp();
    if (*taken && pelun.PS_Ask(texts::kSouborJizExistuje) != common::DialogResult::Yes)
        return SaveLogOutcome::Declined;
    auto saved = std::make_shared<SaveResult>();
    auto done = wait([saved, save = std::move(save)] {
        *saved = save();
        return saved->ok;
    });
    if (!done)
        return givenUp();
    if (!saved->ok) {
        pelun.PS_ShowError(saved->error);
        return SaveLogOutcome::Failed;
    }
    return SaveLogOutcome::Saved;
}

} // namespace

SaveWait savedInPlace()
{
    return [](std::function<bool()> call) { return std::optional<bool>(call()); };
}

SaveLogOutcome SaveLogBtnClick(common::Pelun& pelun, const ResultView& result, const std::string& path,
                               const SaveWait& wait)
{
    return askAndSave(pelun, path, texts::kProtokolNelzeUlozit, wait,
                      [path, lines = protocolLines(result)] { return saveProtocol(path, lines); });
}

SaveLogOutcome saveJsonAs(common::Pelun& pelun, const VorkanEngine& engine, const std::string& path,
                          const SaveWait& wait)
{
    return askAndSave(pelun, path, texts::kJsonNelzeUlozit, wait,
                      [path, json = findingsJson(engine)] { return saveFile(path, json, texts::kJsonNelzeUlozit); });
}

SaveLogOutcome saveManifestAs(common::Pelun& pelun, const VorkanEngine& engine, const std::string& path,
                              const SaveWait& wait)
{
    std::shared_ptr<const ManifestWriter> writer = engine.manifestWritten();
    SaveLogOutcome outcome = askAndSave(pelun, path, texts::kSoucetNelzeUlozit, wait, [writer, path] {
        int error = writer ? writer->writeTo(path) : EINVAL;
        return error == 0 ? SaveResult{true, {}}
                          : SaveResult{false, texts::kSoucetNelzeUlozit + path + ": " + std::strerror(error)};
    });
    if (outcome == SaveLogOutcome::Saved)
        writer->savedAs(path);
    return outcome;
}

} // namespace engine
