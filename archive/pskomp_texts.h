#pragma once
// Every text that the archive module shows, in one place. {…} values are appended or
// inserted by the code between the pieces given here.

namespace archive::texts {

// Labels that name the reporting routine.
inline constexpr const char* kLabelOpenArchive = "PSK_OpenArchive";
inline constexpr const char* kLabelCloseArchive = "PSK_CloseArchive";
inline constexpr const char* kLabelGetFileLocation = "PSK_GetFileLocation";
inline constexpr const char* kLabelGetArchiveDataVersion = "PSK_GetArchiveDataVersion";
inline constexpr const char* kLabelGetPelunPskArchNumber = "PSK_GetPelunPskArchNumber";
inline constexpr const char* kLabelClosePelunPskr = "PSK_ClosePelunPskr";
inline constexpr const char* kLabelOpenSystemPsk = "PSK_OpenSystemPsk";

inline constexpr const char* kNotInitialized = ": Ještě nebyla provedena inicializace modulu PSKOMP";
inline constexpr const char* kBadArchNumber = ": parametr ARCHNUMBER není platné označení archívu ( archnumber = ";
inline constexpr const char* kBadArchNumberEnd = " )";
inline constexpr const char* kArchiveNotOpen = ": Zadaný archív není otevřen";

inline constexpr const char* kInitAlreadyDone = "PSK_Init: Inicializace již byla provedena";
inline constexpr const char* kInitDirStart = "PSK_Init: Adresář \"";
inline constexpr const char* kInitDirEnd = "\" není přístupný";
inline constexpr const char* kDeinitNotDone = "psk_Deinit: Inicializace ještě nebyla provedena";
inline constexpr const char* kDeinitMemory =
    "PSK_deinit: nepodařilo se uvolnit veškerou pamět alokovanou modulem PSKOMP ( nebylo uvolněno ";
inline constexpr const char* kDeinitMemoryEnd = " B";
inline constexpr const char* kDeinitOpen = "PSK_deinit: nepodařilo se uzavřít všechny archívy ( nebylo uzavřeno: ";
inline constexpr const char* kDeinitOpenEnd = "  ";
inline constexpr int kInternalDeinitMemory = 67;
inline constexpr int kInternalDeinitOpen = 68;

// Opening an archive.
inline constexpr const char* kTooManyArchives = "PSK_OpenArchive: Již je otevřeno příliš mnoho archívů ( 16 )";
inline constexpr const char* kBadMode = "PSK_OpenArchive: chybná hodnota parametru MODE";
inline constexpr const char* kFileStart = "PSK_OpenArchive: Soubor \"";
inline constexpr const char* kArchiveStart = "PSK_OpenArchive: Archív \"";
inline constexpr const char* kNotExisting = "\" neexistuje";
inline constexpr const char* kAlreadyOpen = "PSK_OpenArchive: Zadaný archív je již otevřen";
inline constexpr const char* kCannotOpenStart = "PSK_OpenArchive: Není možné číst data ze souboru \"";
inline constexpr const char* kCannotOpenEnd = "\" (soubor není možné otevřít) ";
inline constexpr const char* kReadErrorEnd = "\" (při čtení dat došlo k chybě) ";
inline constexpr const char* kNotPsk = "\" není PSK archív";
inline constexpr const char* kBadFormatVersion = "\" má nepodporovanou verzi vnitřního formátu ( ";
inline constexpr const char* kBadFormatVersionEnd = ")";
inline constexpr const char* kDamaged = "\" má chybnou strukturu dat nebo je poškozen ";
inline constexpr const char* kMark200 = "(Nesouhlasi kontr. zn #200)";
inline constexpr const char* kFilesCountStart = "(pocetsoub=";
inline constexpr const char* kFilesCountEnd = ")";
inline constexpr const char* kNoFiles = "\" neobsahuje žádné soubory (Filescount=0)";
inline constexpr const char* kMark202 = "(Nesouhlasi kontr. zn #202)";
inline constexpr const char* kFileNumber = "(FileTable: FileNumber)";
inline constexpr const char* kDataAreaLength = "(Neočekávaná délka datové oblasti archívu) (FileTable: Sum(ComprSize))";
inline constexpr const char* kNoData = "\" neobsahuje žádná data (veldat<1)";
inline constexpr const char* kDataAreaCopy =
    "(velikost datové oblasti archívu neodpovídá údajům uvedeným v tabulce souborů archívu)";
inline constexpr const char* kOutOfMemory = "PSK_OpenArchive: Pro načtení archívu není dostatek paměti";

// Finding and extracting members.
inline constexpr const char* kNotFoundStart = "PSK_GetFileLocation: Nemohu najít soubor: \"";
inline constexpr const char* kQuoteEnd = "\"";
inline constexpr const char* kLooseLoadStart = "PSK_GetFileStream: Nepodařilo se načíst data ze souboru \"";
inline constexpr const char* kMemberReadStart = "PSK_GetFileStream: Nepodařilo se přečíst data z archívu: \"";
inline constexpr const char* kBlockFile1 = "PSK_GetFileStream: Chybná data archívu (OpenMode=1,(1))";
inline constexpr const char* kBlockMemory1 = "PSK_GetFileStream: Chybná data archívu (OpenMode=0,(1))";
inline constexpr const char* kBlockFile2 = "PSK_GetFileStream: Chybná data archívu (OpenMode=1,(2))";
inline constexpr const char* kBlockMemory2 = "PSK_GetFileStream: Chybná data archívu (OpenMode=0,(2))";
inline constexpr int kInternalBlockFile1 = 73;
inline constexpr int kInternalBlockMemory1 = 75;
inline constexpr int kInternalBlockMemory2 = 76;
inline constexpr int kInternalBlockFile2 = 77;
inline constexpr const char* kBadMemberName = "PSK_GetFileStream: Chybná data archívu (FileTable: NameOffset)";
inline constexpr const char* kContentLength =
    "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen)";
inline constexpr const char* kCrcError =
    "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen) (CRC Error)";
inline constexpr const char* kComprDataShort = "PSK_Compress: Zdrojový stream ComprData neobsahuje dostatek dat";
inline constexpr const char* kInflateError =
    "PSK_Copress: Při Dekomprimaci dat došlo k chybě (chyba Dekompr. algoritmu nebo nedostatek paměti) "
    "(Decompresion error)";
inline constexpr const char* kWriteError =
    "PSK_Copress: Nepodařilo se zapsat dekomprimovana data do streamu (tato chyba je pravděpodobně způsobena "
    "nedostatkem paměti) (MemoryStream write error)";

// Loaders.
inline constexpr const char* kLoadBitmap = "PSK_LoadBitmap";
inline constexpr const char* kLoadJpgBitmap = "PSK_LoadJpgBitmap";
inline constexpr const char* kLoadString = "PSK_LoadString";
inline constexpr const char* kReadFailureStart = ": Při čtení dat ze souboru \"";
inline constexpr const char* kReadFailureEnd = "\" došlo k chybě";
inline constexpr const char* kBadPictureStart = ": Chybná struktura souboru \"";
inline constexpr const char* kTooLargeStart = ": Soubor \"";
inline constexpr const char* kTooLargeEnd = "\" je příliš velký";

// Shared archives.
inline constexpr const char* kRegistryKey = "Software\\PELUN Software\\SystemPSKFiles";
inline constexpr const char* kSystemFileKeySuffix = "PSK";
inline constexpr const char* kPelunPskValue = "PelunPsk";
inline constexpr const char* kNotRegistered = "*";
inline constexpr const char* kPelunPskFile = "Pelun.PSK";
inline constexpr const char* kInstallMissingStart = "Soubor \"";
inline constexpr const char* kInstallMissingEnd = "\" není přístupný !";
inline constexpr const char* kRegistrationFailed = "PSK_InstallSystemFile: Nepodařilo se zaregistrovat soubor ";
inline constexpr int kInternalInstall = 26;
inline constexpr const char* kBadUpdate = "PSK_OpenSystemPSK: Chybná hodnota parametru UPDATE";
inline constexpr const char* kCannotOpenSystem = "PSK_OpenSystemPSK: Nepodařilo se otevřít archív ";
inline constexpr const char* kModuleInitFailed =
    "Pelun: Initialization: Nepodařilo se provést inicializaci modulu PSKOMP";

} // namespace archive::texts
