#include "about/daradid.h"
#include "about/daradid_texts.h"
#include "about/psforms.h"
#include "about/psforms_texts.h"
#include "about/psnet_texts.h"

#include "tests/about_ui/catalogue_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>

#include <stdexcept>

using namespace about_test;
namespace texts = about::texts;

namespace {

struct AboutBox : CatalogueFixture {
    int catalogueShown = 0;
    bool catalogueResult = true;
    bool systemOpenDuringCatalogue = false;
    std::unique_ptr<about::TDaRadidF> box;

    void makeBox(bool realCatalogue = false)
    {
        about::TDaRadidF::ShowCatalogue fake = [this](QWidget*) {
            ++catalogueShown;
            systemOpenDuringCatalogue = psk.PSK_GetPelunPskArchNumber() >= 0;
            return catalogueResult;
        };
        box = std::make_unique<about::TDaRadidF>(psk, net, pelun, realCatalogue ? nullptr : fake);
    }
    void showBox()
    {
        box->show();
        QApplication::processEvents();
    }
    int page() { return child<QStackedWidget>(*box, "Notebook")->currentIndex(); }
    QString title() { return child<QGroupBox>(*box, "GroupBox")->title(); }
    QString label(const char* name) { return child<QLabel>(*box, name)->text(); }
    void click(const char* name) { child<QPushButton>(*box, name)->click(); }
    void expectPage(int index, const char* groupTitle)
    {
        EXPECT_EQ(page(), index);
        EXPECT_EQ(title(), QString::fromUtf8(groupTitle));
    }
};

} // namespace

TEST_F(AboutBox, every_show_starts_on_page_0_and_esc_shows_the_licence_page)
{
    makeBox();
    showBox();
    expectPage(0, texts::kTitleAutori);
    EXPECT_EQ(box->size(), QSize(591, 319));
    const QRect area = box->screen()->geometry();
    const QRect frame = box->frameGeometry();
    EXPECT_EQ(frame.topLeft(), QPoint((area.width() - frame.width()) / 2, (area.height() - frame.height()) / 2));
    click("AdresaBtn");
    expectPage(2, texts::kTitleAdresa);
    click("CoJeBtn");
    expectPage(3, texts::kTitleCoJe);
    EXPECT_TRUE(child<QPlainTextEdit>(*box, "Memo7")->toPlainText().isEmpty());
    box->hide();
    box->move(10, 20);
    showBox();
    expectPage(0, texts::kTitleAutori);
    EXPECT_EQ(box->frameGeometry().topLeft(), QPoint(10, 20));

    QTest::keyClick(box.get(), Qt::Key_Escape);
    expectPage(4, texts::kTitleLicence);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(child<QPlainTextEdit>(*box, "Memo6")->toPlainText().isEmpty());
    // Enter outside a button is the authors button's.
    QWidget* text = child<QPlainTextEdit>(*box, "Memo6");
    text->setFocus();
    QTest::keyClick(text, Qt::Key_Return);
    expectPage(0, texts::kTitleAutori);
    click("ZavritBtn");
    EXPECT_FALSE(box->isVisible());
}

TEST_F(AboutBox, with_the_maker_archive_open_the_catalogue_shows_and_the_box_closes)
{
    makerArchive({member("DARadid\\Produkty\\SEZNAM.TXT", "A")});
    ASSERT_EQ(psk.PSK_OpenPelunPsk(2), 0);
    makeBox();
    for (bool result : {true, false}) {
        catalogueResult = result;
        showBox();
        click("ProduktBtn");
        EXPECT_FALSE(box->isVisible());
        EXPECT_EQ(box->result(), QDialog::Accepted);
    }
    EXPECT_EQ(catalogueShown, 2);
    EXPECT_GE(psk.PSK_GetPelunPskArchNumber(), 0); // opened by the program, left open
}

TEST_F(AboutBox, without_a_usable_maker_archive_the_built_in_products_page_shows)
{
    makeBox();
    showBox();
    click("ProduktBtn"); // nothing registered
    expectPage(1, texts::kTitleProdukty);
    EXPECT_TRUE(box->isVisible());

    registerMakerArchive({member("PELUN\\LIBDATA\\PSNET\\PSURL.TXT", "a@b.example")});
    std::remove(psk.PSK_GetPelunPskPath().c_str()); // registered, but gone
    click("AutoriBtn");
    click("ProduktBtn");
    expectPage(1, texts::kTitleProdukty);
    EXPECT_EQ(catalogueShown, 0);
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(AboutBox, a_registered_archive_is_opened_for_the_catalogue_and_closed_on_every_way_out)
{
    registerMakerArchive({member("DARadid\\Produkty\\SEZNAM.TXT", "A")});
    makeBox();
    showBox();
    click("ProduktBtn");
    EXPECT_TRUE(systemOpenDuringCatalogue);
    EXPECT_LT(psk.PSK_GetPelunPskArchNumber(), 0);
    EXPECT_FALSE(box->isVisible());

    showBox();
    catalogueResult = false;
    click("ProduktBtn");
    EXPECT_LT(psk.PSK_GetPelunPskArchNumber(), 0);
    expectPage(1, texts::kTitleProdukty);

    about::TDaRadidF throwing(psk, net, pelun, [](QWidget*) -> bool { throw std::runtime_error("catalogue"); });
    EXPECT_THROW(throwing.ProduktBtnClick(), std::runtime_error);
    EXPECT_LT(psk.PSK_GetPelunPskArchNumber(), 0);
    EXPECT_EQ(psk.PSK_OpenCount(), 0);
}

TEST_F(AboutBox, a_registered_archive_without_the_list_falls_back_after_the_catalogue_reports)
{
    registerMakerArchive({member("PELUN\\LIBDATA\\PSNET\\PSURL.TXT", "a@b.example")});
    makeBox(true);
    showBox();
    whenModal<about::TPSF_ProduktyPSForm>([](about::TPSF_ProduktyPSForm*) {}, 3000); // a safety net only
    click("ProduktBtn");
    EXPECT_EQ(port.texts(), std::vector<std::string>{texts::kMsgArchivNeniDostupny});
    EXPECT_LT(psk.PSK_GetPelunPskArchNumber(), 0);
    EXPECT_EQ(psk.PSK_OpenCount(), 0);
    expectPage(1, texts::kTitleProdukty);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, the_links_show_the_addresses_of_the_maker_archive_at_the_next_show)
{
    makeBox();
    showBox();
    EXPECT_EQ(label("PSWWWL1"), QString::fromUtf8(texts::kBuiltInWWW));
    EXPECT_EQ(label("PSWWW2L1"), QString::fromUtf8(texts::kBuiltInWWW2));

    makerArchive({member("PELUN\\LIBDATA\\PSNET\\PSURL.TXT",
                         "new@mail.example\r\nhttps://two.example/\r\nhttps://one.example/")});
    ASSERT_EQ(psk.PSK_OpenPelunPsk(2), 0);
    EXPECT_EQ(label("PSWWWL2"), QString::fromUtf8(texts::kBuiltInWWW)); // not before the next show
    box->hide();
    showBox();
    for (const char* name : {"PSWWWL1", "PSWWWL2", "PSWWWL3"})
        EXPECT_EQ(label(name), QStringLiteral("https://one.example/")) << name;
    EXPECT_EQ(label("PSWWW2L1"), QStringLiteral("https://two.example/"));
    EXPECT_EQ(label("EMailLabel"), QString::fromUtf8(texts::kBuiltInEMail));

    for (const char* name : {"PSWWWL1", "PSWWW2L1", "EMailLabel"}) {
        QWidget* link = child<QLabel>(*box, name);
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(link, Qt::LeftButton);
    }
    EXPECT_EQ(opened,
              (std::vector<std::string>{"https://one.example/", "https://two.example/", "MAILTO: new@mail.example"}));
}
