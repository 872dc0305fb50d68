#pragma once
#include <string>

namespace common {

enum class DialogKind { Error, Information, Question };
enum class DialogResult { Ok, Yes, No, Cancel };

// Where the program's messages and questions go. The GUI shows its own modal dialog; the
// command-line tools write each message as one line on standard error; tests record them.
class MessagePort {
public:
    virtual ~MessagePort() = default;
    // Error and information dialogs have OK only; a question has Yes and No. Closing the
    // dialog without a button gives Cancel.
    virtual DialogResult show(DialogKind kind, const std::string& text) = 0;
    // The system's default beep.
    virtual void beep() = 0;
};

// Prints every message as one line on standard error, exactly its text. Questions are
// answered with the configured result without being printed.
class StderrMessagePort final : public MessagePort {
public:
    explicit StderrMessagePort(DialogResult answer = DialogResult::No) : answer_(answer) {}
    DialogResult show(DialogKind kind, const std::string& text) override;
    void beep() override {}

private:
    DialogResult answer_;
};

} // namespace common
