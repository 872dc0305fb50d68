#include "archive/pskomp.h"

#include "archive/psk_format.h"
#include "archive/pskomp_texts.h"
#include "common/encoding.h"
#include "common/pelun.h"
#include "platform/ascii.h"
#include "platform/filesystem.h"

namespace archive {

Pskomp::Pskomp(common::Pelun& pelun) : pelun_(pelun)
{
    for (int i = 0; i < kSlots; ++i)
        slots_[static_cast<std::size_t>(i)].number = i;
}

Pskomp::~Pskomp()
{
    // Closing here keeps the descriptors and memory copies from outliving the module even
    // when the program forgot its shut-down; the self-checks of PSK_Deinit stay silent then.
    for (auto& s : slots_) {
        s.file.close();
        s.open = false;
    }
}

bool Pskomp::fatal(const std::string& text)
{
    pelun_.PS_Message(common::kSeverityFatal, text);
    return false;
}

bool Pskomp::startUp(const std::string& currentDirectory)
{
    fileData_.clear();
    comprData_.clear();
    initialized_ = false;
    started_ = true;
    if (PSK_Init(currentDirectory))
        return true;
    return fatal(texts::kModuleInitFailed);
}

void Pskomp::shutDown()
{
    if (!started_)
        return;
    started_ = false;
    fileData_.storage() = {};
    comprData_.storage() = {};
    fileData_.clear();
    comprData_.clear();
    // Also after a failed start-up: PSK_Deinit then says that the module never started.
    PSK_Deinit();
    baseDir_.clear();
    for (auto& s : slots_)
        s.path.clear();
}

bool Pskomp::PSK_Init(const std::string& dir)
{
    if (initialized_)
        return fatal(texts::kInitAlreadyDone);
    if (!platform::directoryExists(dir))
        return fatal(texts::kInitDirStart + dir + texts::kInitDirEnd);
    baseDir_ = dir;
    allocatedBytes_ = 0;
    for (int i = 0; i < kSlots; ++i) {
        PSKArchive& s = slots_[static_cast<std::size_t>(i)];
        s = PSKArchive{};
        s.number = i;
    }
    openCount_ = 0;
    systemArchNumber_ = -1;
    initialized_ = true;
    return true;
}

std::int32_t Pskomp::PSK_Deinit()
{
    if (!initialized_) {
        fatal(texts::kDeinitNotDone);
        return -1;
    }
    std::int32_t closed = 0;
    for (int i = 0; i < kSlots; ++i) {
        if (slots_[static_cast<std::size_t>(i)].open && PSK_CloseArchive(i))
            ++closed;
    }
    initialized_ = false;
    if (allocatedBytes_ != 0) {
        pelun_.PS_InternalError(texts::kInternalDeinitMemory,
                                texts::kDeinitMemory + std::to_string(allocatedBytes_) + texts::kDeinitMemoryEnd);
        return -2;
    }
    if (openCount_ != 0) {
        pelun_.PS_InternalError(texts::kInternalDeinitOpen,
                                texts::kDeinitOpen + std::to_string(openCount_) + texts::kDeinitOpenEnd);
        return -3;
    }
    return closed;
}

bool Pskomp::PSK_CheckInit(const std::string& label)
{
    if (initialized_)
        return true;
    pelun_.PS_ShowError(label + texts::kNotInitialized);
    return false;
}

std::int32_t Pskomp::PSK_CheckArchNumber(std::int32_t archNumber, const std::string& label)
{
    if (!initialized_) {
        pelun_.PS_ShowError(label + texts::kNotInitialized);
        return -1;
    }
    if (archNumber < 0 || archNumber >= kSlots) {
        pelun_.PS_ShowError(label + texts::kBadArchNumber + std::to_string(archNumber) + texts::kBadArchNumberEnd);
        return -1;
    }
    if (!slots_[static_cast<std::size_t>(archNumber)].open) {
        pelun_.PS_ShowError(label + texts::kArchiveNotOpen);
        return -1;
    }
    return 0;
}

bool Pskomp::PSK_CloseArchive(std::int32_t archNumber)
{
    const std::string label = texts::kLabelCloseArchive;
    if (!initialized_)
        return fatal(label + texts::kNotInitialized);
    if (archNumber < 0 || archNumber >= kSlots)
        return fatal(label + texts::kBadArchNumber + std::to_string(archNumber) + texts::kBadArchNumberEnd);
    PSKArchive& s = slots_[static_cast<std::size_t>(archNumber)];
    if (!s.open)
        return fatal(label + texts::kArchiveNotOpen);
    s.open = false;
    --openCount_;
    allocatedBytes_ -= static_cast<std::int64_t>(s.data.size() + s.table.size() + s.names.size());
    s.file.close();
    s.data = {};
    s.table = {};
    s.names = {};
    return true;
}

std::int32_t Pskomp::PSK_GetArchiveDataVersion(std::int32_t archNumber)
{
    if (PSK_CheckArchNumber(archNumber, texts::kLabelGetArchiveDataVersion) != 0)
        return 0;
    return slots_[static_cast<std::size_t>(archNumber)].dataVersion;
}

std::optional<std::string> Pskomp::looseFilePath(const std::string& name) const
{
    // Member names separate their parts with "\"; on this file system each part is matched
    // without regard to letter case, which is what the upper-cased existence test of a
    // case-blind file system amounts to. A part ".." would leave the base directory, which a
    // name taken from an archive must never do.
    std::string relative = name;
    for (char& c : relative) {
        if (c == '\\')
            c = '/';
    }
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        if (relative.compare(start, end - start, "..") == 0)
            return std::nullopt;
        start = end + 1;
    }
    auto found = platform::resolveIgnoringCase(baseDir_, relative);
    if (!found || !platform::fileExists(*found))
        return std::nullopt;
    return found;
}

std::int32_t Pskomp::lookup(const std::string& name, psk_File* location)
{
    const std::string upper = platform::asciiUpper(name);
    if (!PSK_CheckInit(texts::kLabelGetFileLocation))
        return -1;
    const std::string sought = platform::asciiUpper(common::utf8ToCp1250(name));
    for (const PSKArchive& s : slots_) {
        if (!s.open)
            continue;
        for (std::size_t i = 0; i < static_cast<std::size_t>(s.filesCount); ++i) {
            format::TableRecord r = format::recordAt(s.table, i);
            if (!format::nameMatches(s.names, r.nameOffset, sought))
                continue;
            if (location != nullptr) {
                *location = psk_File{r.fileNumber, r.size, r.comprSize, r.dataOffset, r.nameOffset,
                                     r.method,     r.crc,  r.reserved1, r.reserved2,  upper};
            }
            return s.number;
        }
    }
    if (looseFilePath(name))
        return kLooseFile;
    return -1;
}

std::int32_t Pskomp::PSK_GetFileLocation(psk_File& location, const std::string& name)
{
    std::int32_t n = lookup(name, &location);
    if (n == -1 && initialized_)
        fatal(texts::kNotFoundStart + platform::asciiUpper(name) + texts::kQuoteEnd);
    return n;
}

std::int32_t Pskomp::PSK_FindFile(const std::string& name)
{
    return lookup(name, nullptr);
}

} // namespace archive
