#include "common/pelun.h"

#include "common/pelun_texts.h"
#include "platform/ascii.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/input_file.h"
#include "platform/key_value_store.h"
#include "platform/save_file.h"

#include <cstdio>
#include <new>
#include <vector>

namespace common {

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

std::int32_t floorDiv(std::int32_t a, std::int32_t b)
{
    std::int32_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

bool isDriveLetter(char upper)
{
    return upper >= 'A' && upper <= 'Z';
}

} // namespace

std::string PS_FormatTime(std::int32_t seconds)
{
    std::int32_t h = floorDiv(seconds, 3600);
    std::int32_t r = static_cast<std::int32_t>(static_cast<std::int64_t>(seconds) - 3600LL * h);
    std::int32_t m = r / 60;
    std::int32_t s = r - 60 * m;
    char text[48];
    std::snprintf(text, sizeof text, "%2d : %2d : %2d", h, m, s);
    return text;
}

Pelun::Pelun(MessagePort& port, const platform::DriveTable& drives, platform::KeyValueStore& registry, Places places)
    : port_(&port), drives_(drives), registry_(registry), startDir_(std::move(places.startDir)),
      defaultSystemRoot_(std::move(places.defaultSystemRoot))
{}

bool Pelun::PS_ShowError(const std::string& text)
{
    lastMessage_ = text;
    if (showMessages_)
        port_->show(DialogKind::Error, text);
    return true;
}

bool Pelun::PS_InternalError(int number, const std::string& text)
{
    return PS_ShowError(std::string(texts::kInternalErrorStart) + std::to_string(number) + texts::kInternalErrorMiddle +
                        "\"" + text + "\"" + texts::kInternalErrorEnd);
}

bool Pelun::PS_Message(int severity, const std::string& text)
{
    if (severity >= kSeverityError)
        port_->beep();
    lastMessage_ = text;
    if (!showMessages_)
        return true;
    if (severity == kSeverityInformation)
        port_->show(DialogKind::Information, text);
    else if (severity == kSeverityQuestion)
        return port_->show(DialogKind::Question, text) == DialogResult::Yes;
    else if (severity == kSeverityError || severity == kSeverityFatal)
        port_->show(DialogKind::Error, text);
    return true;
}

DialogResult Pelun::PS_Ask(const std::string& text)
{
    return port_->show(DialogKind::Question, text);
}

bool Pelun::PS_DriveReady(char letter)
{
    char upper = platform::asciiUpper(letter);
    if (!isDriveLetter(upper))
        throw ConvertError(texts::kNotValidDriveId);
    // Nothing here can raise a system box about a missing medium: the query only asks the
    // filesystem for its size.
    const platform::Drive* drive = drives_.find(upper);
    return drive != nullptr && platform::DriveTable::ready(*drive);
}

std::string Pelun::PS_GetdriveType(char letter)
{
    char upper = platform::asciiUpper(letter);
    if (!isDriveLetter(upper)) {
        PS_ShowError(std::string(texts::kGetdriveTypeLabel) + "\"" + std::string(1, letter) + "\"" +
                     texts::kNeniPlatneOznaceniJednotky);
        return texts::kNoDriveType;
    }
    const platform::Drive* drive = drives_.find(upper);
    if (drive == nullptr)
        return texts::kNoDriveType;
    switch (drive->type) {
    case platform::DriveType::Removable: return texts::kVymennyDisk;
    case platform::DriveType::Fixed: return texts::kPevnyDisk;
    case platform::DriveType::Remote: return texts::kSitovyDisk;
    case platform::DriveType::CdRom: return texts::kCdRom;
    case platform::DriveType::RamDisk: return texts::kRamDisk;
    default: return texts::kNoDriveType;
    }
}

std::string Pelun::PS_GetdriveType(const std::string& character)
{
    if (character.size() == 1)
        return PS_GetdriveType(character.front());
    PS_ShowError(std::string(texts::kGetdriveTypeLabel) + "\"" + character + "\"" + texts::kNeniPlatneOznaceniJednotky);
    return texts::kNoDriveType;
}

std::string Pelun::PS_GetSystemDir()
{
    std::string root = registry_.read(texts::kSystemRootKey, texts::kSystemRootValue, "");
    if (root.empty()) {
        root = defaultSystemRoot_;
        // The default lies in the user's own data directory; make it usable on first use.
        platform::makeDirectories(root + texts::kSystemSubdirectory);
    }
    return root + texts::kSystemSubdirectory;
}

bool Pelun::PS_CopyFile(const std::string& source, const std::string& destination)
{
    std::vector<char> buffer;
    try {
        buffer.resize(kCopyChunk);
    } catch (const std::bad_alloc&) {
        PS_Message(kSeverityFatal, texts::kCopyOutOfMemory);
        return false;
    }
    platform::InputFile in = platform::InputFile::open(source);
    if (!in.isOpen()) {
        PS_Message(kSeverityFatal, texts::kCopyCannotOpen + source);
        return false;
    }
    // Creating the destination would empty the source before a byte of it is read.
    if (platform::identityOf(destination) == in.identity()) {
        PS_Message(kSeverityFatal, texts::kCopyCannotOpen + destination);
        return false;
    }
    platform::SavedFile out = platform::SavedFile::begin(destination, 0644);
    if (!out.isOpen()) {
        PS_Message(kSeverityFatal, texts::kCopyCannotOpen + destination);
        return false;
    }
    std::int64_t copied = 0;
    for (;;) {
        ssize_t n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            PS_Message(kSeverityFatal, texts::kCopyCannotRead + source);
            return false;
        }
        if (n == 0)
            break;
        if (!out.write({buffer.data(), static_cast<std::size_t>(n)})) {
            PS_Message(kSeverityFatal, texts::kCopyCannotWrite + destination);
            return false;
        }
        copied += n;
    }
    // A short copy must not take the destination's place.
    if (copied != in.size()) {
        PS_Message(kSeverityFatal, texts::kCopyCannotRead + source);
        return false;
    }
    if (!out.commit()) {
        PS_Message(kSeverityFatal, texts::kCopyCannotWrite + destination);
        return false;
    }
    return true;
}

} // namespace common
