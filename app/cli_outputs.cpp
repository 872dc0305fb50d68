#include "app/cli_outputs.h"

#include "app/cli_texts.h"
#include "common/encoding.h"
#include "platform/input_file.h"

#include <unistd.h>

namespace app {

namespace {

// "-" as the JSON result's name is standard output; the report has no such name.
std::optional<platform::FileIdentity> identityOfJson(const std::string& name)
{
    return name == "-" ? platform::identityOfDescriptor(STDOUT_FILENO) : platform::identityOf(name);
}

bool sameIdentity(const std::optional<platform::FileIdentity>& a, const std::optional<platform::FileIdentity>& b)
{
    return a && a == b;
}

} // namespace

std::optional<std::string> refusedOutputs(const OutputNames& names)
{
    if (names.report && names.report->empty())
        return texts::kReportNameEmpty;
    if (names.json && names.json->empty())
        return texts::kJsonNameEmpty;
    // The tested file is looked at only when there is an output to compare: a stalled
    // medium must not hold the program up before it can answer a signal.
    if (names.testedFile && (names.report || (names.json && *names.json != "-"))) {
        // Standard output is not looked at: the shell opened it before the test, and what
        // it may have truncated is gone already.
        auto tested = platform::identityOf(*names.testedFile);
        if (names.report && sameIdentity(platform::identityOf(*names.report), tested))
            return texts::kReportIsTestedFile + common::shownName(*names.report);
        if (names.json && *names.json != "-" && sameIdentity(platform::identityOf(*names.json), tested))
            return texts::kJsonIsTestedFile + common::shownName(*names.json);
    }
    if (names.report && names.json) {
        bool samePath = *names.json != "-" && *names.report == *names.json;
        if (samePath || sameIdentity(platform::identityOf(*names.report), identityOfJson(*names.json)))
            return texts::kReportIsJson + common::shownName(*names.report);
    }
    return std::nullopt;
}

} // namespace app
