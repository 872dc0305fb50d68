#pragma once
// The texts of the surface scan of a device: its summary, status line and messages.
#include "engine/area_texts.h"
#include "engine/engine_texts.h" // kKBs

namespace engine::texts {

inline constexpr const char* kPovrchTitle = "Test povrchu zařízení programu PS Vorkan v1.10";
inline constexpr const char* kPovrchZarizeni = "Zařízení: ";
inline constexpr const char* kPovrchVelikost = "Velikost zařízení: ";
inline constexpr const char* kPovrchBlok = "Logický blok: ";
inline constexpr const char* kPovrchPrecteno = "Přečteno: ";
inline constexpr const char* kPovrchVadne = "Vadné bajty: ";
inline constexpr const char* kPovrchOblasti = "Počet vadných oblastí: ";
inline constexpr const char* kPovrchPomala = "Počet pomalých čtení: ";
inline constexpr const char* kPovrchDobaTrvani = "Doba trvání testu: ";
inline constexpr const char* kPovrchPrumernaRychlost = "Průměrná rychlost čtení dat: ";
inline constexpr const char* kPovrchVadneOblasti = "VADNÉ OBLASTI:";
inline constexpr const char* kPovrchPoskozeneSoubory = "POŠKOZENÉ SOUBORY:";
inline constexpr const char* kBajtu = " B";

// The window's Test page during a scan.
inline constexpr const char* kStavCtePovrch = "Čte se povrch zařízení ...";
inline constexpr const char* kStavMapujiSe = "Zjišťuje se, co leží na vadných místech ...";
inline constexpr const char* kPoziceNaZarizeni = ", pozice ";

// The status line on a terminal.
inline constexpr const char* kPovrchPozice = "Pozice ";
inline constexpr const char* kPovrchZbyva = " | zbývá ";
inline constexpr const char* kPovrchUplynulo = " | uplynulo ";

// Refusals (one line on standard error each; the path or the reason follows).
inline constexpr const char* kZarizeniNelzeOtevrit = "Zařízení nelze otevřít: ";
inline constexpr const char* kZarizeniBezMedia = "V zařízení není médium: ";
inline constexpr const char* kNeniBlokoveZarizeni = "Není to blokové zařízení: ";
inline constexpr const char* kMapfileJinaVelikost = "Mapový soubor patří zařízení jiné velikosti: ";
inline constexpr const char* kMapfileNelzePrecist = "Mapový soubor nelze přečíst: ";
inline constexpr const char* kMapfileNelzeUlozit = "Mapový soubor nelze uložit: ";
inline constexpr const char* kVystupJeZarizeni = "Výsledek by se zapsal přes testované zařízení: ";
inline constexpr const char* kJednotkaBezZarizeni = "Jednotka nemá blokové zařízení: ";

} // namespace engine::texts
