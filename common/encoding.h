#pragma once
#include <string>

namespace common {

// The program's strings are UTF-8; its saved texts and the names and texts inside archives
// are Windows-1250. A character the code page lacks becomes "?", and so does every byte of
// input that is not valid UTF-8.
std::string utf8ToCp1250(const std::string& utf8);
std::string cp1250ToUtf8(const std::string& cp1250);

} // namespace common
