#include "platform/clock.h"

#include <ctime>

namespace platform {

std::int64_t SystemClock::localSeconds()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Seconds since the epoch shifted by the local offset: a local-time stamp that does not
    // wrap at the end of a month.
    return static_cast<std::int64_t>(now) + local.tm_gmtoff;
}

std::string localDateTimeText()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace platform
