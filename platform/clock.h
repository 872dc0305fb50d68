#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Source of the seconds stamp that times a test run. Tests replace it with a fake.
class Clock {
public:
    virtual ~Clock() = default;
    // Local wall-clock time in whole seconds. It keeps counting across day and month ends,
    // so only a clock that is set back makes a later stamp smaller than an earlier one.
    virtual std::int64_t localSeconds() = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t localSeconds() override;
};

// The local date and time now, as "YYYY-MM-DD HH:MM:SS".
std::string localDateTimeText();

} // namespace platform
