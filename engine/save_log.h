#pragma once
#include "engine/view.h"

#include <functional>
#include <optional>
#include <string>

namespace common {
class Pelun;
}

namespace engine {

class VorkanEngine;

enum class SaveLogOutcome { Saved, Declined, Failed };

// How a save waits for a call that may block in the kernel (the look at the name, the
// writing: a dying stick may hold a write for minutes): it returns the call's answer, or
// nothing when the user gave the call up, which is then left behind with everything it
// needs. The window runs the call on a thread of its own and keeps its events going;
// savedInPlace() runs it where it is.
using SaveWait = std::function<std::optional<bool>(std::function<bool()>)>;
SaveWait savedInPlace();

// Saves the protocol of the last run to the file the user chose in the save dialog. An
// existing file is replaced only when the user answers Yes: closing the question without an
// answer must not cost the old file. A file that cannot be written is reported in the
// program's message dialog; an existing one stays as it was wherever it could be replaced
// whole (see platform::SavedFile for the files that are written in place).
SaveLogOutcome SaveLogBtnClick(common::Pelun& pelun, const ResultView& result, const std::string& path,
                               const SaveWait& wait = savedInPlace());

// Saves the last run as the JSON document that vorkan-cli --json writes, by the same rules:
// asked before replacing, a failure reported in the message dialog.
SaveLogOutcome saveJsonAs(common::Pelun& pelun, const VorkanEngine& engine, const std::string& path,
                          const SaveWait& wait = savedInPlace());

// Saves the manifest the last run computed (SHA256SUMS of a finished complete test), by the
// same rules.
SaveLogOutcome saveManifestAs(common::Pelun& pelun, const VorkanEngine& engine, const std::string& path,
                              const SaveWait& wait = savedInPlace());

} // namespace engine
