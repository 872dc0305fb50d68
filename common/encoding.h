#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace common {

// The program's strings are UTF-8; its saved texts and the names and texts inside archives
// are Windows-1250. A character the code page lacks becomes "?", and so does every byte of
// input that is not valid UTF-8.
std::string utf8ToCp1250(const std::string& utf8);
std::string cp1250ToUtf8(const std::string& cp1250);

// A file name as it may be shown or written: a name may hold any byte but "/" and NUL, and
// each control character (0x01-0x1F, 0x7F) becomes "?", so a name can neither start a new
// line of a protocol nor send escape sequences to a terminal.
std::string shownName(const std::string& name);
// A message of the message dialog as one line of a terminal: each of its line breaks (LF CR)
// becomes a blank, one blank where the text beside it has one already, and every other
// control character "?", so that a name inside it cannot forge a line.
std::string messageLine(const std::string& message);
// Length of the well-formed UTF-8 sequence at text[i], or 0 where none starts there: overlong
// forms, surrogates, code points beyond U+10FFFF and cut sequences are not well formed.
std::size_t utf8SequenceAt(std::string_view text, std::size_t i);
bool isValidUtf8(std::string_view text);
// Text for a terminal: every byte that is not part of valid UTF-8 becomes "?".
std::string validUtf8(const std::string& text);
// The first character of UTF-8 text; a lone byte where no valid sequence starts.
std::string firstCharacter(const std::string& utf8);

} // namespace common
