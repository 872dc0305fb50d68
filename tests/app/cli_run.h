#pragma once
#include "child_process.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace cli_testing {

using testing_support::ProcessResult;

// Runs vorkan-cli with the arguments; a run that outlives the timeout counts as a hang.
ProcessResult runCli(const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60));
std::vector<std::string> cliCommand(const std::vector<std::string>& args);

// The protocol a finished run writes to standard output, taken apart.
struct Protocol {
    bool wellFormed = false;
    std::string problem;             // why it is not well formed
    std::vector<std::string> report; // the 20 report lines
    std::vector<std::string> failed; // the failed files, in order

    std::string line(int number) const { return report.at(static_cast<std::size_t>(number - 1)); }
};

Protocol parseProtocol(const std::string& text);

// The protocol as its lines, for comparing with the saved file.
std::vector<std::string> protocolLines(const Protocol& p);

// Windows-1250 for the Czech letters the protocol uses; anything else must be ASCII.
std::string toCp1250(const std::string& utf8);

} // namespace cli_testing
