#pragma once
// The texts of vorkan-cli itself; the test's own messages are the engine's.

namespace app::texts {

inline constexpr const char* kDescription =
    "Tests whether the data of a drive, a directory tree or a file can be read back.";
inline constexpr const char* kObjectRequired =
    "vorkan-cli: one of --drive, --dir, --file, --device, --drives or --version is required\n";
inline constexpr const char* kReportNameEmpty = "vorkan-cli: --report needs the name of a file";
inline constexpr const char* kJsonNameEmpty = "vorkan-cli: --json needs the name of a file or \"-\"";
inline constexpr const char* kReportIsTestedFile =
    "vorkan-cli: the report would be saved over the tested file itself: ";
inline constexpr const char* kJsonIsTestedFile =
    "vorkan-cli: the JSON result would be saved over the tested file itself: ";
inline constexpr const char* kReportIsJson =
    "vorkan-cli: the report and the JSON result would be saved to the same file: ";
inline constexpr const char* kOutputFailed = "vorkan-cli: cannot write to standard output: ";

inline constexpr const char* kPripravena = "připravena";
inline constexpr const char* kNeniPripravena = "není připravena";

inline constexpr const char* kJsonNelzeUlozit = "Zprávu JSON nelze uložit do souboru ";
inline constexpr const char* kJsonHelp =
    "also write the result with each failure's kind, error and offset, the slow reads and the "
    "speed curve as JSON to FILE (\"-\": standard output, which then carries no protocol)";
inline constexpr const char* kMapHelp =
    "after a read error, read on to the end of the file and keep its unreadable ranges (shown in the JSON result)";
inline constexpr const char* kSlowHelp = "keep a read request that takes at least SECONDS as a slow read (default 1)";
inline constexpr const char* kSlowRefused = "needs a finite number of seconds, 0 or more";
inline constexpr const char* kJsonNelzeZapsat = "Zprávu JSON nelze zapsat na standardní výstup";

inline constexpr const char* kVerifyHelp =
    "check the files against the checksum manifest FILE (coreutils, BSD tags, SFV, hashdeep, BagIt), "
    "hashing the bytes as they are read; may be given more than once";
inline constexpr const char* kVerifyFoundHelp =
    "check the files against the manifests found in the tested tree (SHA256SUMS, *.md5, *.sfv, ...)";
inline constexpr const char* kWriteManifestHelp =
    "after the test, save the checksums of the files read whole to FILE in coreutils' format";
inline constexpr const char* kHashHelp = "the algorithm of --write-manifest: sha256 (default), sha512, sha1 or md5";
inline constexpr const char* kManifestsNeedComplete =
    "vorkan-cli: --verify, --verify-found and --write-manifest need the complete test, not --quick\n";
inline constexpr const char* kDeviceHelp =
    "scan a block device from its first byte to its last and map its bad areas to the files they hit";
inline constexpr const char* kMapfileHelp =
    "keep the state of a device scan in FILE as a GNU ddrescue mapfile, and resume from it when it exists";
inline constexpr const char* kSurfaceHelp = "with --drive: scan the drive's block device instead of its files";
inline constexpr const char* kMapfileNeedsDevice = "vorkan-cli: --mapfile goes with --device or --drive --surface\n";

} // namespace app::texts
