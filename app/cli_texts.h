#pragma once

// Texts of vorkan-cli beyond those the engine shows.
namespace app::texts {

inline constexpr const char* kJsonNelzeUlozit = "Zprávu JSON nelze uložit do souboru ";
inline constexpr const char* kJsonHelp =
    "also write the result with each failure's kind, error and offset, the slow reads and the "
    "speed curve as JSON to FILE (\"-\": standard output, which then carries no protocol)";
inline constexpr const char* kMapHelp =
    "after a read error, read on to the end of the file and keep its unreadable ranges (shown in the JSON result)";
inline constexpr const char* kSlowHelp = "keep a read request that takes at least SECONDS as a slow read (default 1)";
inline constexpr const char* kJsonNelzeZapsat = "Zprávu JSON nelze zapsat na standardní výstup";

} // namespace app::texts
