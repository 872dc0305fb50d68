#pragma once
#include "archive/bitmap.h"
#include "common/memory_stream.h"
#include "platform/read_only_file.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace common {
class Pelun;
}

namespace archive {

// Where a member lies, as PSK_GetFileLocation finds it (the method before the checksum,
// unlike the file table).
struct psk_File {
    std::int32_t FileNumber = 0;
    std::int32_t Size = 0;
    std::int32_t ComprSize = 0;
    std::int32_t DataOffset = 0;
    std::int32_t NameOffset = 0;
    std::int32_t Method = 0;
    std::int32_t CRC = 0;
    std::int32_t Reserved1 = 0;
    std::int32_t Reserved2 = 0;
    std::string Name; // the sought name, upper-cased
};

// One slot of the archive table.
struct PSKArchive {
    bool open = false;
    std::string path = "*";
    std::int32_t number = 0;
    std::int32_t formatVersion = 0;
    std::int32_t filesCount = 0;
    std::int32_t headerValue = 0;
    std::int32_t dataVersion = 0;
    std::int16_t headerShort = 0;
    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> names;
    std::vector<std::uint8_t> data; // the data area, MODE 0 only
    platform::ReadOnlyFile file;    // kept open, MODE 1 only
    std::int32_t mode = 0;
    std::int32_t dataStart = 0;
    std::int64_t dataSize = 0; // veldat
};

// The archive module: up to 16 open archives, lookup by member name across them (falling
// back to loose files under the base directory), extraction with checks into one reused
// stream, the typed loaders and the maker's shared archive. Every failure it recognises is
// reported once through the helper module's message routines.
class Pskomp {
public:
    static constexpr int kSlots = 17;
    static constexpr int kMaxOpen = 16;
    static constexpr std::int32_t kLooseFile = 1024;
    static constexpr std::int32_t kPelunPskClosed = -50;

    explicit Pskomp(common::Pelun& pelun);
    ~Pskomp();
    Pskomp(const Pskomp&) = delete;
    Pskomp& operator=(const Pskomp&) = delete;

    // Module start-up and shut-down of the program.
    bool startUp(const std::string& currentDirectory);
    void shutDown();
    // Runs after every successful open of the maker's archive; the program wires the link
    // module's address refresh here.
    std::function<void()> afterPelunPskOpened;

    bool PSK_Init(const std::string& dir);
    std::int32_t PSK_Deinit();
    bool PSK_OpenArchive(std::int32_t& archNumber, const std::string& path, std::int32_t mode);
    bool PSK_CloseArchive(std::int32_t archNumber);
    std::int32_t PSK_GetFileLocation(psk_File& location, const std::string& name);
    std::int32_t PSK_FindFile(const std::string& name);
    std::int32_t PSK_GetFileStream(const std::string& name, common::MemoryStream*& stream);
    std::int32_t PSK_GetFileStream(const std::string& name);
    // Extracts record index (from 0) of an open archive with every check of an extraction by
    // name; for tools that must reach each member even when names repeat.
    std::int32_t extractByIndex(std::int32_t archNumber, std::int32_t index, common::MemoryStream*& stream);
    // Appends the content of count stored bytes of source to dest. limit caps what inflating
    // may produce: beyond it the content is cut off and fails the caller's length check.
    // checksum, when given, accumulates the member checksum of the content appended.
    bool PSK_Compress(common::MemoryStream& dest, common::MemoryStream& source, std::int32_t method, std::int32_t count,
                      std::int64_t limit = INT32_MAX, std::uint32_t* checksum = nullptr);
    std::int32_t PSK_GetArchiveDataVersion(std::int32_t archNumber);
    bool PSK_CheckInit(const std::string& label);
    std::int32_t PSK_CheckArchNumber(std::int32_t archNumber, const std::string& label);

    bool PSK_LoadBitmap(const std::string& name, Bitmap& bitmap);
    bool PSK_LoadJpgBitmap(const std::string& name, Bitmap& bitmap);
    bool PSK_LoadPicture(const std::string& name, Bitmap& bitmap);
    bool PSK_LoadString(const std::string& name, std::vector<std::string>& lines);

    static std::string PSK_SystemFileKey(const std::string& path);
    std::string PSK_GetSystemFilePath(const std::string& path);
    std::string PSK_GetPelunPskPath();
    std::int32_t PSK_GetFileDataVersion(const std::string& path);
    std::int32_t PSK_GetSystemFileVersion(const std::string& path);
    bool PSK_InstallSystemFile(const std::string& path);
    std::int32_t PSK_OpenSystemPSK(std::int32_t& archNumber, const std::string& path, std::int32_t update);
    std::int32_t PSK_OpenPelunPsk(std::int32_t update);
    std::int32_t PSK_GetPelunPskArchNumber();
    bool PSK_ClosePelunPskr();

    bool PSK_Initialized() const { return initialized_; }
    const std::string& PSK_BaseDir() const { return baseDir_; }
    std::int64_t PSK_AllocatedBytes() const { return allocatedBytes_; }
    std::int32_t PSK_OpenCount() const { return openCount_; }
    std::int32_t PSK_SystemArchNumber() const { return systemArchNumber_; }
    const PSKArchive& slot(int number) const { return slots_[static_cast<std::size_t>(number)]; }
    const common::MemoryStream& FileData() const { return fileData_; }

private:
    struct OpenError;
    std::optional<std::string> loadArchive(PSKArchive& candidate, const std::string& path, std::int32_t mode);
    std::optional<std::string> looseFilePath(const std::string& name) const;
    std::int32_t lookup(const std::string& name, psk_File* location);
    std::int32_t loadLooseFile(const std::string& name);
    std::int32_t extractMember(PSKArchive& archive, const psk_File& location);
    bool readStoredData(PSKArchive& archive, const psk_File& location);
    enum class Inflated { Ok, Damaged, NoMemory };
    Inflated inflate(common::MemoryStream& dest, std::span<const std::uint8_t> source, std::int64_t limit,
                     std::uint32_t* checksum);
    bool fatal(const std::string& text);

    common::Pelun& pelun_;
    bool initialized_ = false;
    bool started_ = false;
    std::string baseDir_;
    std::int64_t allocatedBytes_ = 0;
    std::int32_t openCount_ = 0;
    std::int32_t systemArchNumber_ = -1;
    std::array<PSKArchive, kSlots> slots_;
    common::MemoryStream fileData_;
    common::MemoryStream comprData_;
};

} // namespace archive
