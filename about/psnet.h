#pragma once
#include "platform/shell.h"

#include <string>

namespace archive {
class Pskomp;
}

namespace about {

// The maker's web and mail links. The addresses start with built-in values and are
// refreshed from the maker's archive; only a plausible address reaches the desktop, since
// an archive could otherwise make it open a local file or program.
class PsNet {
public:
    explicit PsNet(platform::DesktopLauncher launcher = platform::openWithDesktop);

    std::string PSWWW;
    std::string PSWWW2;
    std::string PSEMail;

    bool PS_OpenWWW();
    bool PS_OpenWWW2();
    bool PS_OpenEMail();
    // Takes lines 1 to 3 of the URL file of the open archives when the maker's archive is open.
    void PSK_ReadURLFile(archive::Pskomp& archive);
    // The end of the program: the addresses are emptied.
    void clear();

    static bool isWebAddress(const std::string& text);
    static bool isMailAddress(const std::string& address);

private:
    platform::DesktopLauncher launcher_;
};

} // namespace about
