#pragma once
#include <cstdint>

namespace engine {

// A floating-point value made whole the way the displays do it: formatted with no decimals
// and read back, so rounded to the nearest whole number. Values beyond the 32-bit range,
// infinities and NaN (a share of 0 as divisor) are clamped instead of failing.
std::int32_t roundAsFormatted(double value);

} // namespace engine
