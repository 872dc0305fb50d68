#pragma once
#include "engine/run_state.h"
#include "engine/view.h"

#include <string>
#include <vector>

namespace engine {

// The 20 report lines of a finished run, quoting the Test page as it stands.
std::vector<std::string> reportLines(const TestPageView& test, const RunState& run, std::size_t errorCount);

// The saved protocol: the report, a blank line, "CHYBNÉ SOUBORY: ", the failed files in
// order of failure, a blank line and the end line. Names are shown without their control
// characters, so none can forge a line.
std::vector<std::string> protocolLines(const ResultView& result);

// The lines joined, each followed by eol.
std::string joinLines(const std::vector<std::string>& lines, const char* eol);

struct SaveResult {
    bool ok = false;
    std::string error; // the message to show when saving failed
};

// Writes the protocol as the program saves it: Windows-1250, every line ending CR LF, by the
// program's rules for saving over whatever the name already holds.
SaveResult saveProtocol(const std::string& path, const std::vector<std::string>& lines);

// Writes data to path the same way; a failure's message is failedText, the path and the
// system's reason.
SaveResult saveFile(const std::string& path, const std::string& data, const char* failedText);

} // namespace engine
