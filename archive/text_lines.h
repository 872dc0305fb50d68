#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace archive {

// Splits Windows-1250 text into UTF-8 lines: a line ends at CR LF, a lone CR or a lone LF,
// a last line without an end still counts, and a zero byte ends the text.
std::vector<std::string> splitCp1250Lines(std::span<const std::uint8_t> text);

} // namespace archive
