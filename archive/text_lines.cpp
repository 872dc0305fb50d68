#include "archive/text_lines.h"

#include "common/encoding.h"

#include <algorithm>

namespace archive {

std::vector<std::string> splitCp1250Lines(std::span<const std::uint8_t> text)
{
    text = text.first(static_cast<std::size_t>(std::find(text.begin(), text.end(), 0) - text.begin()));
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\r' && text[i] != '\n') {
            ++i;
            continue;
        }
        lines.push_back(common::cp1250ToUtf8(std::string(text.begin() + start, text.begin() + i)));
        i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.push_back(common::cp1250ToUtf8(std::string(text.begin() + start, text.end())));
    return lines;
}

} // namespace archive
