#include "platform/user_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

namespace {

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/tmp";
}

std::string fromEnvironment(const char* variable, const char* fallbackBelowHome)
{
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        return value;
    return homeDirectory() + fallbackBelowHome;
}

} // namespace

std::string userConfigDirectory()
{
    return fromEnvironment("XDG_CONFIG_HOME", "/.config");
}

std::string userDataDirectory()
{
    return fromEnvironment("XDG_DATA_HOME", "/.local/share");
}

std::string defaultRegistryFile()
{
    return userConfigDirectory() + "/PELUN Software/registry.ini";
}

std::string defaultSystemRoot()
{
    return userDataDirectory() + "/PELUN Software/Windows";
}

} // namespace platform
