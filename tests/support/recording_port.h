#pragma once
#include "common/message_port.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A message port that records every message and answers questions from a script.
class RecordingPort final : public common::MessagePort {
public:
    struct Shown {
        common::DialogKind kind;
        std::string text;
    };

    common::DialogResult show(common::DialogKind kind, const std::string& text) override;
    void beep() override { ++beeps; }

    // Answers for the next questions, in order; without one a question gets No.
    std::deque<common::DialogResult> answers;
    // Runs while a message is "open", before it is answered: lets a test act inside a dialog.
    std::function<void(const Shown&)> whileOpen;

    std::vector<Shown> shown;
    int beeps = 0;

    std::vector<std::string> texts() const;
};

} // namespace testing_support
