#pragma once
#include <functional>
#include <string>

namespace platform {

// Hands a text to the desktop's default action (xdg-open) and returns at once: the process
// is started detached and reaped in the background, so it never waits and leaves no zombie.
// Its result is not examined.
void openWithDesktop(const std::string& text);

// What opens a text; tests put a recorder in its place.
using DesktopLauncher = std::function<void(const std::string&)>;

} // namespace platform
