#pragma once
// The texts of checksum manifests: what is said of a manifest that cannot be used or saved.

namespace engine::texts {

inline constexpr const char* kManifestPrefix = "Soubor kontrolních součtů ";
inline constexpr const char* kManifestNelzePrecist = " nelze přečíst: ";
inline constexpr const char* kManifestBezPlatnehoRadku = " nemá ani jeden platný řádek !";
inline constexpr const char* kSoucetNelzeUlozit = "Kontrolní součty nelze uložit do souboru ";

} // namespace engine::texts
