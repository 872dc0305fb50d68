#pragma once
// Every text of the details window's content: the kinds of finding, the units and the line
// on the bytes that did not come from the medium.

namespace engine::texts {

// Why a file is in the error list
inline constexpr const char* kDruhOtevreni = "nelze otevřít";
inline constexpr const char* kDruhCteni = "chyba čtení";
inline constexpr const char* kDruhKratsi = "kratší, než byl";
inline constexpr const char* kDruhNarostl = "narostl";
inline constexpr const char* kDruhAdresar = "adresář nelze přečíst";
inline constexpr const char* kDruhJinyObsah = "jiný obsah";
inline constexpr const char* kDruhChybi = "chybí";

inline constexpr const char* kSekundy = " s";
inline constexpr const char* kBajtu = " B";

inline constexpr const char* kDalsiZasahy = "Dalších zasažených míst, která nebyla zaznamenána: ";
inline constexpr const char* kDalsiPomalaCteni = "Dalších pomalých čtení, která nebyla zaznamenána: ";

inline constexpr const char* kZmizeleSoubory = "Soubory smazané mezi zjišťováním a testem (netestovány): ";
inline constexpr const char* kNezarucenoZMedia = "Data nezaručeně přečtená z média: ";
inline constexpr const char* kVseZMedia = "Všechna data byla přečtena přímo z média, mimo vyrovnávací paměť systému.";
inline constexpr const char* kCastZPameti =
    "Souborový systém odmítl přímé čtení: tato data byla přečtena přes vyrovnávací paměť "
    "systému a nemusela pocházet z média.";

// The manifests of the run and how their lines ended
inline constexpr const char* kZaznamu = " záznamů";
inline constexpr const char* kChybnychRadku = " chybných řádků";
inline constexpr const char* kShoduje = "Shoduje se: ";
inline constexpr const char* kJinyObsah = ", jiný obsah: ";
inline constexpr const char* kChybi = ", chybí: ";
inline constexpr const char* kNeuvedeno = ", neuvedené soubory: ";
inline constexpr const char* kMimo = ", mimo testovaný objekt: ";

inline constexpr const char* kJsonNelzeUlozit = "Zprávu JSON nelze uložit do souboru ";

} // namespace engine::texts
