#include "archive/pskomp.h"
#include "archive/pskomp_texts.h"
#include "common/pelun.h"
#include "platform/filesystem.h"
#include "platform/key_value_store.h"

namespace archive {

namespace {

std::string fileNamePart(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string Pskomp::PSK_SystemFileKey(const std::string& path)
{
    std::string name = fileNamePart(path);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name + texts::kSystemFileKeySuffix;
}

std::string Pskomp::PSK_GetSystemFilePath(const std::string& path)
{
    return pelun_.registry().read(texts::kRegistryKey, PSK_SystemFileKey(path), texts::kNotRegistered);
}

std::string Pskomp::PSK_GetPelunPskPath()
{
    return pelun_.registry().read(texts::kRegistryKey, texts::kPelunPskValue, texts::kNotRegistered);
}

std::int32_t Pskomp::PSK_GetFileDataVersion(const std::string& path)
{
    std::int32_t version = -1;
    std::int32_t number = -1;
    if (platform::fileExists(path) && PSK_OpenArchive(number, path, 1)) {
        std::int32_t stored = PSK_GetArchiveDataVersion(number);
        if (stored != 0)
            version = stored;
        PSK_CloseArchive(number);
    }
    return version;
}

std::int32_t Pskomp::PSK_GetSystemFileVersion(const std::string& path)
{
    std::string installed = PSK_GetSystemFilePath(path);
    if (installed == texts::kNotRegistered)
        return -1;
    return PSK_GetFileDataVersion(installed);
}

// The installed copy is shared with the maker's other programs: the copy is saved by the
// program's saving rules, so one that fails half-way leaves the old copy intact wherever it
// can be replaced as it was.
bool Pskomp::PSK_InstallSystemFile(const std::string& path)
{
    if (!platform::fileExists(path)) {
        pelun_.PS_InternalError(texts::kInternalInstall,
                                texts::kInstallMissingStart + path + texts::kInstallMissingEnd);
        return false;
    }
    const std::string destination = pelun_.PS_GetSystemDir() + "/" + fileNamePart(path);
    if (!pelun_.PS_CopyFile(path, destination))
        return false;
    if (!pelun_.registry().write(texts::kRegistryKey, PSK_SystemFileKey(path), destination))
        return fatal(texts::kRegistrationFailed + destination);
    return true;
}

std::int32_t Pskomp::PSK_OpenSystemPSK(std::int32_t& archNumber, const std::string& path, std::int32_t update)
{
    if (!PSK_CheckInit(texts::kLabelOpenSystemPsk))
        return -1;
    if (update < 0 || update > 2) {
        fatal(texts::kBadUpdate);
        return -1;
    }
    std::int32_t local = -50;
    std::int32_t registered = -50;
    if (update != 2) {
        local = PSK_GetFileDataVersion(path);
        registered = PSK_GetSystemFileVersion(path);
        if (local == -1 && registered == -1) {
            fatal(texts::kCannotOpenSystem + path);
            return -1;
        }
    }
    std::string chosen = path;
    if (update == 0) {
        if (local > registered)
            chosen = PSK_InstallSystemFile(path) ? PSK_GetSystemFilePath(path) : path;
        else
            chosen = PSK_GetSystemFilePath(path);
    } else if (update == 1 && local <= registered) {
        chosen = PSK_GetSystemFilePath(path);
    }
    return PSK_OpenArchive(archNumber, chosen, 0) ? 0 : -1;
}

std::int32_t Pskomp::PSK_OpenPelunPsk(std::int32_t update)
{
    // The start-up directory may hold the file under any letter case ("pelun.psk").
    const std::string& startDir = pelun_.PS_StartDir();
    std::string path =
        platform::resolveIgnoringCase(startDir, texts::kPelunPskFile).value_or(startDir + "/" + texts::kPelunPskFile);
    std::int32_t rc = PSK_OpenSystemPSK(systemArchNumber_, path, update);
    if (rc >= 0 && afterPelunPskOpened)
        afterPelunPskOpened();
    return rc;
}

std::int32_t Pskomp::PSK_GetPelunPskArchNumber()
{
    if (!PSK_CheckInit(texts::kLabelGetPelunPskArchNumber))
        return -1;
    return systemArchNumber_;
}

bool Pskomp::PSK_ClosePelunPskr()
{
    if (!PSK_CheckInit(texts::kLabelClosePelunPskr))
        return false;
    if (systemArchNumber_ < 0)
        return false;
    bool closed = PSK_CloseArchive(systemArchNumber_);
    systemArchNumber_ = kPelunPskClosed;
    return closed;
}

} // namespace archive
