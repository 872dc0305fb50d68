#pragma once
#include "archive/pskomp.h"
#include "common/message_port.h"
#include "common/pelun.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"

#include <string>

namespace tools {

// Counts what the module reports while passing it on.
class CountingPort final : public common::MessagePort {
public:
    explicit CountingPort(common::MessagePort& inner) : inner_(inner) {}
    common::DialogResult show(common::DialogKind kind, const std::string& text) override
    {
        ++count;
        return inner_.show(kind, text);
    }
    void beep() override { inner_.beep(); }
    int count = 0;

private:
    common::MessagePort& inner_;
};

// The archive module as a command-line tool runs it: messages as lines on standard error,
// the working directory as base directory, no registry writes.
struct PskSession {
    common::StderrMessagePort stderrPort;
    CountingPort port{stderrPort};
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    platform::KeyValueStore registry;
    common::Pelun pelun;
    archive::Pskomp module{pelun};

    explicit PskSession(const std::string& workingDirectory);
};

} // namespace tools
