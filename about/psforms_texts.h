#pragma once
// Every text of the product catalogue, in one place.

namespace about::texts {

inline constexpr const char* kProduktyCaption = "Freeware produkty společnosti PELUN Software";
inline constexpr const char* kGroupBox1 = "Produky";
inline constexpr const char* kAplGBDesigned = "Jmeno aplikace";
inline constexpr const char* kInformace = "Informace";
inline constexpr const char* kBitBtn3 = "&OK";
inline constexpr const char* kZvetsitBtn = "&Zvětšit";
inline constexpr const char* kZmensitBtn = "Z&menšit";

inline constexpr const char* kSeznamFile = "DARadid\\Produkty\\SEZNAM.TXT";
inline constexpr const char* kProductFolder = "DARadid\\Produkty\\";
inline constexpr const char* kInfoFile = "\\INFO.TXT";
inline constexpr const char* kPopisFile = "\\POPIS.TXT";
inline constexpr const char* kAutoriFile = "\\AUTORI.TXT";
inline constexpr const char* kPictureExtension = ".JPG";

// Labels of INFO.TXT's lines 1 to 7, padded so that the values line up.
inline constexpr const char* kInfoLabels[] = {
    "Jméno produktu:     ", "Verze produktu:     ", "Datum dokončení:    ", "Typ programu:       ",
    "HW Požadavky:       ", "SW Požadavky:       ", "Velikost programu:  ",
};
inline constexpr const char* kPopisHeading = "Popis programu:";
inline constexpr const char* kAutoriHeading = "Autoři programu:";
inline constexpr const char* kBlankLine = " ";

inline constexpr const char* kMsgArchivNeniDostupny = "PSF_Produkty: Vyžadovaný archív DARADID.PSK není dostuný";
inline constexpr const char* kMsgSeznamNenacten = "PSF_Produkty: Nepodařilo se načíst seznam produktů";
inline constexpr const char* kMsgChybneInformace = "Chybné informace o produktu\"";

} // namespace about::texts
