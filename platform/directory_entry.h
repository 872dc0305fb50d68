#pragma once

namespace platform {

// "." and "..", which every listing of a directory holds and no walk enters.
constexpr bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace platform
