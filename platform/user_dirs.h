#pragma once
#include <string>

namespace platform {

// The user's configuration and data directories ($XDG_CONFIG_HOME or ~/.config,
// $XDG_DATA_HOME or ~/.local/share). Nothing of the program lives in a system path.
std::string userConfigDirectory();
std::string userDataDirectory();

// Where the maker's settings and shared files live for this user.
std::string defaultRegistryFile(); // <config>/PELUN Software/registry.ini
std::string defaultSystemRoot();   // <data>/PELUN Software/Windows

} // namespace platform
