#pragma once
// The captions of the program's message dialog.

namespace ui::texts {

inline constexpr const char* kMsgOK = "&OK";
inline constexpr const char* kMsgAno = "&Ano";
inline constexpr const char* kMsgNe = "&Ne";

} // namespace ui::texts
