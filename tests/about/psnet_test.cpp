#include "about/psnet.h"

#include "tests/archive/archive_fixture.h"

using namespace testing_support;

namespace {

struct Links : ArchiveFixture {
    std::vector<std::string> opened;
    about::PsNet net{[this](const std::string& text) { opened.push_back(text); }};

    void SetUp() override
    {
        ArchiveFixture::SetUp();
        psk.afterPelunPskOpened = [this] { net.PSK_ReadURLFile(psk); };
    }
    void makerArchive(const std::string& urlFile)
    {
        writeBytes(dir / "start/Pelun.PSK", tools::buildPsk({member("PELUN\\LIBDATA\\PSNET\\PSURL.TXT", urlFile)}, 1));
    }
};

} // namespace

TEST_F(Links, the_built_in_addresses_open_until_an_archive_refreshes_them)
{
    net.PS_OpenWWW();
    net.PS_OpenWWW2();
    net.PS_OpenEMail();
    EXPECT_EQ(opened,
              (std::vector<std::string>{"http://www.pelun.example/", "http://software.pelun.example/",
                                        "MAILTO: info@pelun.example"}));
}

TEST_F(Links, a_three_line_url_file_replaces_all_three_addresses_from_slot_0)
{
    makerArchive("mail@new.example\r\nhttps://two.example/\r\nhttps://one.example/\r\nignored");
    ASSERT_EQ(psk.PSK_OpenPelunPsk(2), 0);
    EXPECT_EQ(net.PSEMail, "mail@new.example");
    EXPECT_EQ(net.PSWWW2, "https://two.example/");
    EXPECT_EQ(net.PSWWW, "https://one.example/");
}

TEST_F(Links, a_short_or_missing_url_file_changes_nothing)
{
    makerArchive("a@b.example\r\nhttps://two.example/");
    ASSERT_EQ(psk.PSK_OpenPelunPsk(2), 0);
    EXPECT_EQ(net.PSWWW, "http://www.pelun.example/");
    net.PSK_ReadURLFile(psk); // maker archive still open, file still short
    EXPECT_EQ(net.PSEMail, "info@pelun.example");
    psk.PSK_ClosePelunPskr();
    port.shown.clear();
    net.PSK_ReadURLFile(psk); // maker archive closed: nothing is read
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(Links, only_web_and_mail_addresses_reach_the_desktop_and_long_ones_go_whole)
{
    net.PSWWW = "file:///etc/passwd";
    net.PSWWW2 = "/usr/bin/xterm";
    net.PSEMail = "a@b.example -e evil";
    net.PS_OpenWWW();
    net.PS_OpenWWW2();
    EXPECT_TRUE(net.PS_OpenEMail());
    EXPECT_TRUE(opened.empty());
    net.PSWWW = "https://www.pelun.example/" + std::string(100, 'x');
    net.PSEMail = std::string(71, 'm');
    net.PS_OpenWWW();
    net.PS_OpenEMail();
    EXPECT_EQ(opened, (std::vector<std::string>{net.PSWWW, "MAILTO: " + net.PSEMail}));
}
