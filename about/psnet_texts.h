#pragma once
// Every text of the link module, in one place.

namespace about::texts {

inline constexpr const char* kBuiltInWWW = "http://www.pelun.example/";
inline constexpr const char* kBuiltInWWW2 = "http://software.pelun.example/";
inline constexpr const char* kBuiltInEMail = "info@pelun.example";

inline constexpr const char* kMailPrefix = "MAILTO: ";
inline constexpr const char* kUrlFile = "PELUN\\LIBDATA\\PSNET\\PSURL.TXT";

inline constexpr const char* kHttp = "http://";
inline constexpr const char* kHttps = "https://";

} // namespace about::texts
