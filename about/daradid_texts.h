#pragma once
// Every text of the About box, in one place.

namespace about::texts {

inline constexpr const char* kDaRadidCaption = "O programu";

inline constexpr const char* kProduktBtn = "&Produkty PELUN Softwaru";
inline constexpr const char* kAdresaBtn = "&Kontak na PELUN Software";
inline constexpr const char* kCoJeBtn = "&Co je PELUN Software";
inline constexpr const char* kLicenceBtn = "&Licenční ujednání";
inline constexpr const char* kAutoriBtn = "A&utoři programu";
inline constexpr const char* kZavritBtn = "&Zavřít";

// Titles of the group box, one per page.
inline constexpr const char* kTitleAutori = "Autoři programu";
inline constexpr const char* kTitleProdukty = "Produkty PELUN Softwaru";
inline constexpr const char* kTitleAdresa = "Adresa PELUN Softwaru";
inline constexpr const char* kTitleCoJe = "Co je PELUN Software";
inline constexpr const char* kTitleLicence = "Licenční ujednání";

// Page 0: the program, its version and its credit.
inline constexpr const char* kAppTitle = "Vorkan";
inline constexpr const char* kAppVersion = "Verze 1.20";
inline constexpr const char* kAppDescr[] = {
    "Test čitelnosti dat na CD, na discích,",
    "v adresářích a v jednotlivých souborech.",
    "",
    "Program napsal:  Petr Lukavec",
    "Testoval:            Jana Lukavcová",
    "",
    "© PELUN Software",
    "",
    "Tento program je freeware. Smíte jej zdarma",
    "používat a šířit, pokud jej šíříte celý a beze",
    "změn. Za škody vzniklé jeho použitím autoři",
    "neručí.",
};

// Page 1: the maker's earlier products, built in for when no catalogue can be shown.
inline constexpr const char* kMemo8[] = {
    "14.02.1995  Kalendárek 1.0 - stolní kalendář se svátky",
    "03.06.1995  PsKalk 1.2 - kalkulátor s historií výpočtů",
    "21.11.1995  DiskMapa 1.0 - přehled obsazení disků",
    "08.04.1996  Textovka 2.0 - převod textů mezi kódováními",
    "                   češtiny (Kamenických, Latin 2, Windows)",
    "17.09.1996  Budíček 1.1 - připomínač schůzek a termínů",
    "02.02.1997  Adresář 1.5 - evidence adres a telefonů",
    "19.05.1997  Obrazník 1.0 - prohlížeč obrázků BMP a JPEG",
    "30.10.1997  Zálohář 1.3 - zálohování adresářů na diskety",
    "11.03.1998  PsHodiny 2.0 - hodiny s budíkem v liště",
    "24.07.1998  Slovníček 1.0 - anglicko-český slovník",
    "                   s vyhledáváním podle části slova",
    "06.01.1999  Kostky 1.0 - logická hra pro jednoho hráče",
    "15.06.1999  Notýsek 1.2 - poznámkový blok se záložkami",
    "28.12.1999  Hledač 1.0 - hledání souborů podle obsahu",
    "09.05.2000  Převodník 1.1 - převod jednotek a měn",
    "14.09.2000  CDSeznam 1.0 - katalog obsahu datových CD",
};
inline constexpr const char* kLabel1 = "Aktualní informace naleznete na:";

// Page 2: the maker's addresses.
inline constexpr const char* kLabel3 = "Případné dotazy, návrhy nebo připomínky zasílejte na:";
inline constexpr const char* kLabel4 = "Aktualní informace naleznete na :";

} // namespace about::texts
