#include "common/encoding.h"
#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "engine/vorkan_engine.h"
#include "platform/drives.h"
#include "platform/filesystem.h"

namespace engine {

bool VorkanEngine::validate(const TestSettings& settings)
{
    TestPageView& t = view_.test;
    switch (settings.object) {
    case TestObject::Jednotka: return validateDrive(settings.JednE);
    case TestObject::Adresar:
        t.druhTOL = texts::kDruhAdresar;
        t.TOL = settings.AdrE;
        run_.CestaTestu = settings.AdrE;
        if (!platform::directoryExists(settings.AdrE) || !platform::directoryListable(settings.AdrE)) {
            pelun_.PS_ShowError(texts::kAdresarPrefix + settings.AdrE + texts::kNeniPristupny);
            return false;
        }
        return true;
    case TestObject::Soubor:
        t.druhTOL = texts::kDruhSoubor;
        t.TOL = settings.SoubE;
        run_.CestaTestu = settings.SoubE;
        run_.PocetSoub = 1;
        run_.PocetAdr = 0;
        if (!platform::fileExists(settings.SoubE)) {
            pelun_.PS_ShowError(texts::kSouborPrefix + settings.SoubE + texts::kNeexistuje);
            return false;
        }
        return true;
    }
    return false;
}

bool VorkanEngine::validateDrive(const std::string& text)
{
    if (text.empty()) {
        pelun_.PS_ShowError(texts::kNeplatneOznaceniJednotky);
        return false;
    }
    // The letter is the first character, not its first byte: "č" is refused as "č".
    const std::string L = common::firstCharacter(text);
    if (pelun_.PS_GetdriveType(L) == "*") {
        pelun_.PS_ShowError(L + texts::kNeniPlatneOznaceniJednotky);
        return false;
    }
    const char letter = L.front();
    TestPageView& t = view_.test;
    t.druhTOL = texts::kDruhJednotka;
    t.TOL = L + texts::kDriveRootSuffix;
    // A drive is walked from its mount point; the root filesystem from "" so that its
    // entries read "/bin", "/etc", ...
    const platform::Drive* drive = pelun_.drives().find(letter);
    run_.CestaTestu = drive != nullptr ? drive->walkPath() : L + ":";
    if (!pelun_.PS_DriveReady(letter) || !platform::directoryListable(run_.CestaTestu)) {
        pelun_.PS_ShowError(texts::kJednotkaPrefix + L + texts::kNeniPripravena);
        return false;
    }
    return true;
}

} // namespace engine
