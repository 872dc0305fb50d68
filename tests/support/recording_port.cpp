#include "tests/support/recording_port.h"

namespace testing_support {

common::DialogResult RecordingPort::show(common::DialogKind kind, const std::string& text)
{
    shown.push_back({kind, text});
    if (whileOpen)
        whileOpen(shown.back());
    if (kind != common::DialogKind::Question)
        return common::DialogResult::Ok;
    if (answers.empty())
        return common::DialogResult::No;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

std::vector<std::string> RecordingPort::texts() const
{
    std::vector<std::string> out;
    for (const auto& s : shown)
        out.push_back(s.text);
    return out;
}

} // namespace testing_support
