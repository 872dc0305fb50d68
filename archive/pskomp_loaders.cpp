#include "archive/picture_decoders.h"
#include "archive/psk_format.h"
#include "archive/pskomp.h"
#include "archive/pskomp_texts.h"
#include "archive/text_lines.h"
#include "common/pelun.h"
#include "platform/ascii.h"

#include <new>

namespace archive {

namespace {

using Decoder = bool (*)(std::span<const std::uint8_t>, Bitmap&);

std::string extensionOf(const std::string& name)
{
    std::size_t part = name.find_last_of("\\/:");
    std::string fileName = part == std::string::npos ? name : name.substr(part + 1);
    std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : platform::asciiUpper(fileName.substr(dot));
}

bool loadPicture(Pskomp& module, common::Pelun& pelun, const std::string& label, Decoder decoder,
                 const std::string& name, Bitmap& bitmap)
{
    common::MemoryStream* stream = nullptr;
    if (module.PSK_GetFileStream(name, stream) < 0)
        return false;
    bool decoded = false;
    try {
        decoded = decoder(stream->bytes(), bitmap);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    if (!decoded)
        pelun.PS_Message(common::kSeverityFatal, label + texts::kBadPictureStart + name + texts::kQuoteEnd);
    return decoded;
}

} // namespace

bool Pskomp::PSK_LoadBitmap(const std::string& name, Bitmap& bitmap)
{
    return loadPicture(*this, pelun_, texts::kLoadBitmap, decodeBmp, name, bitmap);
}

bool Pskomp::PSK_LoadJpgBitmap(const std::string& name, Bitmap& bitmap)
{
    return loadPicture(*this, pelun_, texts::kLoadJpgBitmap, decodeJpeg, name, bitmap);
}

bool Pskomp::PSK_LoadPicture(const std::string& name, Bitmap& bitmap)
{
    if (extensionOf(name) == ".JPG")
        return PSK_LoadJpgBitmap(name, bitmap);
    return PSK_LoadBitmap(name, bitmap);
}

bool Pskomp::PSK_LoadString(const std::string& name, std::vector<std::string>& lines)
{
    common::MemoryStream* stream = nullptr;
    if (PSK_GetFileStream(name, stream) < 0)
        return false;
    try {
        lines = splitCp1250Lines(stream->bytes());
    } catch (const std::bad_alloc&) {
        return fatal(texts::kLoadString + (texts::kTooLargeStart + name) + texts::kTooLargeEnd);
    }
    return true;
}

} // namespace archive
