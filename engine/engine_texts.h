#pragma once
// Every text that the test engine shows, writes into the window or puts into the report.

namespace engine::texts {

inline constexpr const char* kAppTitle = "Vorkan v1.20";
inline constexpr const char* kHotovo = "Hotovo: ";
inline constexpr const char* kHotovoSuffix = " % - ";

// Validation of the test object
inline constexpr const char* kNeplatneOznaceniJednotky = "Neplatné označení jednotky !";
inline constexpr const char* kNeniPlatneOznaceniJednotky = " není platné označení jednotky";
inline constexpr const char* kJednotkaPrefix = "Jednotka ";
inline constexpr const char* kNeniPripravena = ": není připravena !";
inline constexpr const char* kAdresarPrefix = "Adresář ";
inline constexpr const char* kNeniPristupny = " není přístupný !";
inline constexpr const char* kSouborPrefix = "Soubor ";
inline constexpr const char* kNeexistuje = " neexistuje !";
inline constexpr const char* kVAdresari = "V adresáři ";
inline constexpr const char* kZalomeni = "\n\r";
inline constexpr const char* kNejsouZadneObjekty = "nejsou žádné objekty, které by bylo možné testovat !";

// Kinds of test object (druhTOL)
inline constexpr const char* kDruhJednotka = "Jednotka";
inline constexpr const char* kDruhAdresar = "Adresář a podadresáře";
inline constexpr const char* kDruhSoubor = "Soubor";
inline constexpr const char* kDriveRootSuffix = ":\\";

// Test page
inline constexpr const char* kTypKompletni = "Kompletní test adresářů a veškerých dat souborů";
inline constexpr const char* kTypRychly = "Test adresářové struktury a vybraných dat souborů";
inline constexpr const char* kStavCteniInformaci = "Čtou se informace o testovaných objektech ...";
inline constexpr const char* kStavTestujiSe = "Testují se soubory ...";
inline constexpr const char* kLabelAdresar = "Adresář:";
inline constexpr const char* kLabelSoubor = "Soubor:";
inline constexpr const char* kPozastavit = "Pozastavit";
inline constexpr const char* kPokracovat = "Pokračovat";
inline constexpr const char* kBlank = " ";
inline constexpr const char* kKBs = " KB/s";

// Timer tick
inline constexpr int kChybaCasuCislo = 100;
inline constexpr const char* kChybneOdecteniCasu = "Chybné odečtení časů";

// Questions
inline constexpr const char* kOpravduUkoncitTest = "Opravdu si přejete ukončit test ?";
inline constexpr const char* kOpravduUkoncitProgram = "Opravdu si přejete ukončit program ?";

// Errors the engine itself did not expect
inline constexpr const char* kTestSkoncilChybou = "Test byl ukončen kvůli chybě: ";
// Followed by the limit, then the second part, then the number needed.
inline constexpr const char* kMaloDeskriptoru = "limit otevřených souborů (RLIMIT_NOFILE, ulimit -n) ";
inline constexpr const char* kMaloDeskriptoruPotreba = " nestačí, test potřebuje nejméně tolik volných: ";

} // namespace engine::texts
