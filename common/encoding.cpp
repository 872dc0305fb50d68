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

// Length of the UTF-8 sequence that starts at p (1 for an invalid lead byte).
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t left)
{
    std::size_t length = 1;
    if (p[0] >= 0xF0 && p[0] <= 0xF4)
        length = 4;
    else if (p[0] >= 0xE0)
        length = 3;
    else if (p[0] >= 0xC2 && p[0] <= 0xDF)
        length = 2;
    if (length > left)
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

} // namespace

std::string utf8ToCp1250(const std::string& utf8)
{
    Converter c("WINDOWS-1250", "UTF-8");
    return c.convert(utf8, utf8SequenceLength);
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

std::string validUtf8(const std::string& text)
{
    // The converter refuses overlong forms and surrogates, which a plain look at the lead
    // bytes would let through.
    Converter c("UTF-8", "UTF-8");
    return c.convert(text, [](const unsigned char*, std::size_t) { return std::size_t{1}; });
}

std::string firstCharacter(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    std::size_t length = utf8SequenceLength(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
    return utf8.substr(0, length);
}

} // namespace common
