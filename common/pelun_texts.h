#pragma once
// Every text that the helper module shows, in one place.

namespace common::texts {

inline constexpr const char* kInternalErrorStart = "Došlo k vnitřní chybě programu číslo ";
inline constexpr const char* kInternalErrorMiddle = ".  Chyba: ";
inline constexpr const char* kInternalErrorEnd =
    " Prosím restartujte aplikaci a pokud problém nezmizí proveďte restart počítače. Pokud přesto problém "
    "nezmizí přeinstalujte aplikaci. V případě, že se problém stále vyskytuje, kontaktujte autora programu.";

inline constexpr const char* kNotValidDriveId = "Not a valid drive ID";

inline constexpr const char* kGetdriveTypeLabel = "PS_GetdriveType: ";
inline constexpr const char* kNeniPlatneOznaceniJednotky = " není platné označení jednotky.";
inline constexpr const char* kNoDriveType = "*";

inline constexpr const char* kVymennyDisk = "Výměnný disk";
inline constexpr const char* kPevnyDisk = "Pevný disk";
inline constexpr const char* kSitovyDisk = "Síťový disk";
inline constexpr const char* kCdRom = "CD-ROM";
inline constexpr const char* kRamDisk = "RAM disk";

inline constexpr const char* kSystemRootKey = "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* kSystemRootValue = "SystemRoot";
inline constexpr const char* kSystemSubdirectory = "/SYSTEM";

inline constexpr const char* kCopyOutOfMemory = "PS_CopyFile:  Není dostatek paměti (Out Of Memory)";
inline constexpr const char* kCopyCannotOpen = "PS_CopyFile:  Nepodařilo se otevřít soubor ";
inline constexpr const char* kCopyCannotRead = "PS_CopyFile:  Není možné číst ze souboru ";
inline constexpr const char* kCopyCannotWrite = "PS_CopyFile:  Není možné zapisovat do souboru ";

} // namespace common::texts
