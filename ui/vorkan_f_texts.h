#pragma once
// Every text of the main window: captions, labels, hints and the file dialogs' filters.

namespace ui::texts {

inline constexpr const char* kMainCaption = "PELUN Software Vorkan v1.20";

// Test page
inline constexpr const char* kNastaveniTestuBox = "Nastavení testu";
inline constexpr const char* kTestovanyObjekt = "Testovaný objekt:";
inline constexpr const char* kUmisteni = "Umístění:";
inline constexpr const char* kTypTestu = "Typ testu:";
inline constexpr const char* kInformace = "Informace";
inline constexpr const char* kDobaTrvani = "Doba trvání testu:";
inline constexpr const char* kCelkovaDoba = "Celková doba testu:";
inline constexpr const char* kZbyvajiciCas = "Zbývající čas :";
inline constexpr const char* kPrumernaRychlost = "Průměrná rychlost čtení:";
inline constexpr const char* kMaximalniRychlost = "Maximální rychlost čtení:";
inline constexpr const char* kAktualniRychlost = "Aktualní rychlost čtení:";
inline constexpr const char* kPrubeh = "Průběh";
inline constexpr const char* kStav = "Stav:";
inline constexpr const char* kCelkem = "Celkem:";
inline constexpr const char* kUkoncit = "Ukončit";

// Result page
inline constexpr const char* kVysledekTestu = "Výsledek testu";
inline constexpr const char* kZobrazitChyby = "Zobrazit chyby";
inline constexpr const char* kUlozitProtokol = "Uložit protokol o testu";
inline constexpr const char* kOK = "OK";
inline constexpr const char* kPodrobnosti = "Podrobnosti…";

// Settings page
inline constexpr const char* kTestovat = "Testovat";
inline constexpr const char* kJednotku = "Jednotku";
inline constexpr const char* kAdresar = "Adresář";
inline constexpr const char* kSoubor = "Soubor";
inline constexpr const char* kProchazet = "Procházet";
inline constexpr const char* kTypTestuBox = "Typ testu";
inline constexpr const char* kKompletniTest = "Kompletní test adresářové struktury a veškerých dat souborů";
inline constexpr const char* kRychlyTest = "Test adresářové struktury a vybraných dat souborů";
inline constexpr const char* kMapovat = "Mapovat poškozená místa souborů";
inline constexpr const char* kOveritSoucty = "Ověřit kontrolní součty";
inline constexpr const char* kPovrch = "Číst celý povrch jednotky";
inline constexpr const char* kStart = "&Start";
inline constexpr const char* kOProgramu = "&O programu";
inline constexpr const char* kKonec = "&Konec";

inline constexpr const char* kHintJednotka = "Provede testování celého obsahu jednotky";
inline constexpr const char* kHintAdresar =
    "Provede testování zadaného adresáře, jeho podadresářů a všech souborů v nich obsažených";
inline constexpr const char* kHintSoubor = "Otestuje zvolený soubor";
inline constexpr const char* kHintKompletni = "Otestuje všechna data";
inline constexpr const char* kHintRychly = "Otestuje vybraná data";
inline constexpr const char* kHintOveritSoucty = "Při kompletním testu porovná soubory s kontrolními součty nalezenými "
                                                 "v testovaném stromu (SHA256SUMS, *.md5, *.sfv, …)";
inline constexpr const char* kHintPovrch =
    "Přečte celé zařízení jednotky od prvního bajtu po poslední a zjistí, co leží na vadných místech";
inline constexpr const char* kHintMapovat = "Po chybě čtení dočte soubor do konce a zaznamená všechna nečitelná místa";

// Error list page
inline constexpr const char* kChybneSoubory = "Chybné soubory";

// File dialogs
inline constexpr const char* kFilterVsechnySoubory = "Všechny soubory (*)";
inline constexpr const char* kFilterTextove = "Textové soubory [*.txt] (*.TXT *.txt)";
inline constexpr const char* kFilterVsechnyUlozit = "Všechny soubory [*.*] (*)";

// While a save waits for its medium
inline constexpr const char* kUkladani = "Ukládání";
inline constexpr const char* kUkladaSe = "Ukládá se soubor ";

} // namespace ui::texts
