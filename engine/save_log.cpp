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

namespace engine {

namespace {

// Anything of that name, also a dangling link, would be overwritten or fail: ask first.
bool nameTaken(const std::string& path)
{
    return platform::lookUpName(path).taken;
}

SaveLogOutcome askAndSave(common::Pelun& pelun, const std::string& path, const std::function<SaveResult()>& save)
{
    if (nameTaken(path) && pelun.PS_Ask(texts::kSouborJizExistuje) != common::DialogResult::Yes)
        return SaveLogOutcome::Declined;
    SaveResult saved = save();
    if (!saved.ok) {
        pelun.PS_ShowError(saved.error);
        return SaveLogOutcome::Failed;
    }
    return SaveLogOutcome::Saved;
}

} // namespace

SaveLogOutcome SaveLogBtnClick(common::Pelun& pelun, const ResultView& result, const std::string& path)
{
    return askAndSave(pelun, path, [&] { return saveProtocol(path, protocolLines(result)); });
}

SaveLogOutcome saveJsonAs(common::Pelun& pelun, const VorkanEngine& engine, const std::string& path)
{
    return askAndSave(pelun, path, [&] { return saveFile(path, findingsJson(engine), texts::kJsonNelzeUlozit); });
}

SaveLogOutcome saveManifestAs(common::Pelun& pelun, const VorkanEngine& engine, const std::string& path)
{
    return askAndSave(pelun, path, [&] {
        const ManifestWriter* writer = engine.manifestWritten();
        int error = writer ? writer->save(path) : EINVAL;
        return error == 0 ? SaveResult{true, {}}
                          : SaveResult{false, texts::kSoucetNelzeUlozit + path + ": " + std::strerror(error)};
    });
}

} // namespace engine
