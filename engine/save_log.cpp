#include "engine/save_log.h"

#include "common/pelun.h"
#include "engine/report.h"
#include "engine/report_texts.h"

#include <sys/stat.h>

namespace engine {

namespace {

// Anything of that name, also a dangling link, would be overwritten or fail: ask first.
bool nameTaken(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

SaveLogOutcome SaveLogBtnClick(common::Pelun& pelun, const ResultView& result, const std::string& path)
{
    if (nameTaken(path) && pelun.PS_Ask(texts::kSouborJizExistuje) != common::DialogResult::Yes)
        return SaveLogOutcome::Declined;
    SaveResult saved = saveProtocol(path, protocolLines(result));
    if (!saved.ok) {
        pelun.PS_ShowError(saved.error);
        return SaveLogOutcome::Failed;
    }
    return SaveLogOutcome::Saved;
}

} // namespace engine
