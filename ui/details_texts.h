#pragma once
// Every text of the details window: its caption, headings, column titles, axes and buttons.

namespace ui::texts {

inline constexpr const char* kPodrobnostiCaption = "Podrobnosti o testu";

inline constexpr const char* kRychlostCteni = "Průběh rychlosti čtení";
inline constexpr const char* kOsaCas = "čas [s]";
inline constexpr const char* kOsaRychlost = "rychlost [MB/s]";
inline constexpr const char* kLegendaPomale = "pomalé čtení";
inline constexpr const char* kZadneMereni = "Čtení skončilo dřív, než byla změřena rychlost.";
inline constexpr const char* kRychlyTestNemeri = "Rychlý test čte jen začátek každého souboru, rychlost čtení neměří.";

inline constexpr const char* kChybneSouboryBox = "Chybné soubory";
inline constexpr const char* kSloupecSoubor = "Soubor";
inline constexpr const char* kSloupecDruh = "Druh chyby";
inline constexpr const char* kSloupecPozice = "První chybný bajt";
inline constexpr const char* kSloupecNecitelne = "Nečitelné bajty";
inline constexpr const char* kSloupecPopis = "Popis chyby";

inline constexpr const char* kPomalaCteniBox = "Pomalá čtení";
inline constexpr const char* kSloupecPoziceCteni = "Pozice";
inline constexpr const char* kSloupecDoba = "Doba [s]";

inline constexpr const char* kZasahyBox = "Co leží na vadných místech a pomalých čteních";
inline constexpr const char* kSloupecOd = "Od bajtu zařízení";
inline constexpr const char* kSloupecDo = "Do bajtu";
inline constexpr const char* kSloupecCo = "Soubor nebo oblast";
inline constexpr const char* kSloupecVSouboru = "Pozice v souboru";

inline constexpr const char* kPuvodDatBox = "Původ dat";

inline constexpr const char* kKontrolniSouctyBox = "Kontrolní součty";
inline constexpr const char* kZadneSoucty = "Test neověřoval žádné kontrolní součty.";

inline constexpr const char* kUlozitJson = "Uložit jako JSON…";
inline constexpr const char* kUlozitSoucty = "Uložit kontrolní součty…";
inline constexpr const char* kFilterSoucty = "Kontrolní součty SHA-256 [SHA256SUMS] (SHA256SUMS *.sha256)";
inline constexpr const char* kZavrit = "Zavřít";

inline constexpr const char* kFilterJson = "Soubory JSON [*.json] (*.json *.JSON)";
inline constexpr const char* kFilterVsechnyJson = "Všechny soubory [*.*] (*)";

} // namespace ui::texts
