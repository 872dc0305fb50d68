#include "about/psnet.h"

#include "about/psnet_texts.h"
#include "archive/pskomp.h"

#include <vector>

namespace about {

PsNet::PsNet(platform::DesktopLauncher launcher)
    : PSWWW(texts::kBuiltInWWW), PSWWW2(texts::kBuiltInWWW2), PSEMail(texts::kBuiltInEMail),
      launcher_(std::move(launcher))
{}

bool PsNet::isWebAddress(const std::string& text)
{
    return text.starts_with(texts::kHttp) || text.starts_with(texts::kHttps);
}

bool PsNet::isMailAddress(const std::string& address)
{
    if (address.empty())
        return false;
    for (char c : address) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// The text goes over whole, however long: cutting it to the 79 characters of the old
// buffer would open a different address.
bool PsNet::PS_OpenWWW()
{
    if (isWebAddress(PSWWW))
        launcher_(PSWWW);
    return true;
}

bool PsNet::PS_OpenWWW2()
{
    if (isWebAddress(PSWWW2))
        launcher_(PSWWW2);
    return true;
}

bool PsNet::PS_OpenEMail()
{
    if (isMailAddress(PSEMail))
        launcher_(texts::kMailPrefix + PSEMail);
    return true;
}

void PsNet::PSK_ReadURLFile(archive::Pskomp& archive)
{
    if (archive.PSK_SystemArchNumber() < 0)
        return;
    std::vector<std::string> lines;
    if (!archive.PSK_LoadString(texts::kUrlFile, lines) || lines.size() < 3)
        return;
    PSWWW = lines[2];
    PSWWW2 = lines[1];
    PSEMail = lines[0];
}

void PsNet::clear()
{
    PSWWW.clear();
    PSWWW2.clear();
    PSEMail.clear();
}

} // namespace about
