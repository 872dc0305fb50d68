#pragma once
// The texts of vorkan-cli itself; the test's own messages are the engine's.

namespace app::texts {

inline constexpr const char* kDescription =
    "Tests whether the data of a drive, a directory tree or a file can be read back.";
inline constexpr const char* kObjectRequired =
    "vorkan-cli: one of --drive, --dir, --file, --drives or --version is required\n";
inline constexpr const char* kReportNameEmpty = "vorkan-cli: --report needs the name of a file\n";
inline constexpr const char* kReportIsTestedFile =
    "vorkan-cli: the report would be saved over the tested file itself: ";
inline constexpr const char* kOutputFailed = "vorkan-cli: cannot write to standard output: ";

inline constexpr const char* kPripravena = "připravena";
inline constexpr const char* kNeniPripravena = "není připravena";

} // namespace app::texts
