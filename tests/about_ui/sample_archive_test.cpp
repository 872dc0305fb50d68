#include "about/psforms_texts.h"
#include "about/psnet.h"

#include "tests/about_ui/catalogue_fixture.h"

#include <filesystem>
#include <set>

using namespace about_test;

namespace {

// The maker archive the build packs for the program, read as the program reads it.
struct SampleArchive : CatalogueFixture {
    void SetUp() override
    {
        CatalogueFixture::SetUp();
        std::filesystem::copy_file(VORKAN_SAMPLE_PSK, dir / "start/pelun.psk");
    }
};

} // namespace

TEST_F(SampleArchive, holds_a_complete_catalogue_and_the_maker_addresses)
{
    ASSERT_EQ(psk.PSK_OpenPelunPsk(0), 0);
    EXPECT_EQ(psk.PSK_GetArchiveDataVersion(psk.PSK_GetPelunPskArchNumber()), 1);
    EXPECT_EQ(net.PSWWW, "http://www.pelun.example/");
    EXPECT_EQ(net.PSWWW2, "http://software.pelun.example/");
    EXPECT_EQ(net.PSEMail, "info@pelun.example");

    std::vector<std::string> products;
    ASSERT_TRUE(psk.PSK_LoadString(about::texts::kSeznamFile, products));
    ASSERT_GE(products.size(), 4u);
    EXPECT_EQ(products[0], "Vorkan");
    std::set<int> pictureCounts;
    for (std::size_t n = 0; n < products.size(); ++n) {
        std::vector<std::string> info;
        ASSERT_TRUE(psk.PSK_LoadString(productFile(static_cast<int>(n), "INFO.TXT"), info));
        ASSERT_EQ(info.size(), 8u) << n;
        EXPECT_EQ(info[0], products[n]);
        const int pictures = std::stoi(info[7]);
        pictureCounts.insert(pictures);
        for (const char* file : {"POPIS.TXT", "AUTORI.TXT"}) {
            std::vector<std::string> lines;
            EXPECT_TRUE(psk.PSK_LoadString(productFile(static_cast<int>(n), file), lines));
            EXPECT_FALSE(lines.empty());
        }
        for (int k = 0; k < pictures; ++k) {
            archive::Bitmap picture;
            ASSERT_TRUE(psk.PSK_LoadPicture(productFile(static_cast<int>(n), std::to_string(k) + ".JPG"), picture));
            EXPECT_EQ(picture.width, 400);
            EXPECT_EQ(picture.height, 300);
        }
        EXPECT_LT(psk.PSK_FindFile(productFile(static_cast<int>(n), std::to_string(pictures) + ".JPG")), 0);
    }
    for (int needed : {0, 1, 3})
        EXPECT_TRUE(pictureCounts.count(needed)) << needed;
    EXPECT_TRUE(port.shown.empty());
}
