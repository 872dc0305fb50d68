#pragma once
#include <string>
#include <string_view>

namespace platform {

// Letter case of the letters a-z only: file names, value names, drive letters and archive
// member names compare this way, whatever else their bytes hold.
constexpr char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}
constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::string asciiUpper(std::string text)
{
    for (char& c : text)
        c = asciiUpper(c);
    return text;
}

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    }
    return true;
}

} // namespace platform
