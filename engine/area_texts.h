#pragma once
// What lies on a piece of a scanned device that no file claims, as the user reads it.

namespace engine::texts {

inline constexpr const char* kPovrchOblastVolna = "volné místo";
inline constexpr const char* kPovrchOblastMetadata = "data souborového systému";
inline constexpr const char* kPovrchOblastNeznama = "neznámo";

} // namespace engine::texts
