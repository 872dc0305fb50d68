#pragma once
// Every text of the directory selection dialog.

namespace ui::texts {

inline constexpr const char* kVyberAdresare = "Výběr adresáře";
inline constexpr const char* kJmenoAdresare = "Jméno adresáře:";
inline constexpr const char* kAdresare = "Adresáře:";
inline constexpr const char* kJednotky = "Jednotky:";
inline constexpr const char* kDirOK = "OK";
inline constexpr const char* kStorno = "Storno";

inline constexpr int kStartDirInaccessibleNumber = 1;
inline constexpr const char* kAdresarQuoted = "Adresář: \"";
inline constexpr const char* kNeniPristupnyQuoted = "\" není přístupný";
inline constexpr const char* kZvolenyNeexistuje = "Zvolený adresář neexistuje nebo není přístupný.";

} // namespace ui::texts
