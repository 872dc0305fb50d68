#pragma once
#include <optional>
#include <string>

namespace app {

// Where a run's results go: the protocol file, the JSON document ("-": standard output),
// and the file under test when one file is tested.
struct OutputNames {
    std::optional<std::string> report;
    std::optional<std::string> json;
    std::optional<std::string> testedFile;
};

// Why these outputs cannot be used, as one line without its line end; nothing when they can.
// An output may not be empty, may not be the file under test, and the report and the JSON
// result may not be one file (by name, or by device and inode, links followed), for the one
// written last would destroy the other.
std::optional<std::string> refusedOutputs(const OutputNames& names);

} // namespace app
