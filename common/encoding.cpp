#include "common/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace common {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { ::iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; an unconvertible sequence is replaced by "?" and skipped by
    // the number of bytes skipUnconvertible() tells.
    template <typename Skip>
    std::string convert(const std::string& input, Skip skipUnconvertible)
    {
        std::string out;
        out.reserve(input.size() + 16);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[1024];
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            std::size_t rc = ::iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (rc != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: a character that cannot be converted, or a truncated one.
            std::size_t skip = skipUnconvertible(reinterpret_cast<unsigned char*>(in), inLeft);
            out.push_back('?');
            in += skip;
            inLeft -= skip;
        }
        return out;
    }

private:
    iconv_t cd_;
};

// How far the converter skips past a byte sequence it refused: a whole character the code
// page lacks, or one byte of broken UTF-8.
std::size_t refusedUtf8Length(const unsigned char* p, std::size_t left)
{
    std::string_view rest(reinterpret_cast<const char*>(p), left);
    std::size_t length = utf8SequenceAt(rest, 0);
    return length == 0 ? 1 : length;
}

} // namespace

std::string utf8ToCp1250(const std::string& utf8)
{
    Converter c("WINDOWS-1250", "UTF-8");
    return c.convert(utf8, refusedUtf8Length);
}

std::string cp1250ToUtf8(const std::string& cp1250)
{
    Converter c("UTF-8", "WINDOWS-1250");
    return c.convert(cp1250, [](const unsigned char*, std::size_t) { return std::size_t{1}; });
}

std::string shownName(const std::string& name)
{
    std::string shown = name;
    for (char& c : shown) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x01 && byte <= 0x1F) || byte == 0x7F)
            c = '?';
    }
    return shown;
}

std::string messageLine(const std::string& message)
{
    std::string line;
    line.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message.compare(i, 2, "\n\r") == 0) {
            ++i;
            bool blankBeside =
                (!line.empty() && line.back() == ' ') || (i + 1 < message.size() && message[i + 1] == ' ');
            if (!blankBeside)
                line += ' ';
            continue;
        }
        line += message[i];
    }
    return shownName(line);
}

std::size_t utf8SequenceAt(std::string_view text, std::size_t i)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || n > text.size() - i)
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    }
    unsigned char c1 = byte(i + 1);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90))
        return 0;
    return n;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) { // most names are plain ASCII
            ++i;
            continue;
        }
        std::size_t n = utf8SequenceAt(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string validUtf8(const std::string& text)
{
    if (isValidUtf8(text))
        return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = utf8SequenceAt(text, i);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

std::string firstCharacter(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    std::size_t length = utf8SequenceAt(utf8, 0);
    return utf8.substr(0, length == 0 ? 1 : length);
}

} // namespace common
