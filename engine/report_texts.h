#pragma once
// Every text of the result page, the report and the saved protocol.

namespace engine::texts {

inline constexpr const char* kPocetChyb = "Počet chyb: ";

inline constexpr const char* kReportTitle = "Výsledek testu programu PS Vorkan v1.10";
inline constexpr int kReportStars = 70;
inline constexpr const char* kNastaveniTestu = "NASTAVENÍ TESTU:";
inline constexpr const char* kTestovanyObjekt = "Testovaný objekt: ";
inline constexpr const char* kUmisteni = "Umístění: ";
inline constexpr const char* kTypTestu = "Typ testu: ";
inline constexpr const char* kInformace = "INFORMACE:";
inline constexpr const char* kDobaTrvaniTestu = "Doba trvání testu: ";
inline constexpr const char* kPrumernaRychlost = "Průměrná rychlost čtení dat: ";
inline constexpr const char* kMaximalniRychlost = "Maximální rychlost čtení dat: ";
inline constexpr const char* kTestovaneObjekty = "TESTOVANÉ OBJEKTY";
inline constexpr const char* kPocetSouboru = "Počet testovaných souborů: ";
inline constexpr const char* kPocetAdresaru = "Počet testovaných adresářů: ";
inline constexpr const char* kVelikostObjektu = "Velikost testovaných objektů: ";
inline constexpr const char* kBajty = " B";
inline constexpr const char* kChyby = "CHYBY:";
inline constexpr const char* kCelkovyPocetChyb = "Celkový počet chyb:";

inline constexpr const char* kChybneSoubory = "CHYBNÉ SOUBORY: ";
inline constexpr const char* kKonecProtokolu = "---- Konec protokolu --------- ";

inline constexpr const char* kSouborJizExistuje = "Soubor již exituje, má se nahradit ?";
inline constexpr const char* kProtokolNelzeUlozit = "Protokol o testu nelze uložit do souboru ";
// After the name of a file whose saving the user gave up while the medium did not answer.
inline constexpr const char* kUlozeniNedokonceno = " (médium neodpovídá, uložení nebylo dokončeno)";

} // namespace engine::texts
