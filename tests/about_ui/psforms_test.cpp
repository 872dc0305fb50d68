#include "about/picture_view.h"
#include "about/psforms.h"
#include "about/psforms_texts.h"

#include "tests/about_ui/catalogue_fixture.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace about_test;
namespace texts = about::texts;

namespace {

struct Catalogue : CatalogueFixture {
    std::unique_ptr<about::TPSF_ProduktyPSForm> form;

    void openCatalogue(std::vector<tools::PskMember> members = catalogueMembers())
    {
        ASSERT_GE(open(archiveFile("catalogue.psk", members)), 0);
        form = std::make_unique<about::TPSF_ProduktyPSForm>(forms, nullptr);
        form->resetLayout();
        form->show();
    }
    QListWidget* list() { return child<QListWidget>(*form, "prodSezn"); }
    QListWidget* lines() { return child<QListWidget>(*form, "AplPopis"); }
    QPushButton* button(const char* name) { return child<QPushButton>(*form, name); }
    about::PictureView* picture() { return child<about::PictureView>(*form, "AplObr"); }
    void select(int n)
    {
        list()->setCurrentRow(n);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QStringList shownLines()
    {
        QStringList all;
        for (int i = 0; i < lines()->count(); ++i)
            all << lines()->item(i)->text();
        return all;
    }
    // Red, green or blue, as the picture's middle shows it.
    char colour()
    {
        const archive::Bitmap& b = picture()->picture();
        if (b.empty())
            return '-';
        const QColor c = QColor::fromRgb(b.pixel(200, 150));
        return c.red() > 200 ? 'r' : c.green() > 200 ? 'g' : c.blue() > 200 ? 'b' : '?';
    }
    void expectButtons(bool previous, bool next)
    {
        EXPECT_EQ(button("PredchObrBtn")->isEnabled(), previous);
        EXPECT_EQ(button("NaslObrBtn")->isEnabled(), next);
    }
};

QStringList infoLines(const char* name, const char* pictures)
{
    QStringList all;
    std::size_t i = 0;
    for (const std::string& value : info(name, pictures))
        if (i < 7)
            all << QString::fromUtf8(texts::kInfoLabels[i++]) + QString::fromStdString(value);
    return all;
}

} // namespace

TEST_F(Catalogue, a_600_pixel_screen_opens_enlarged_centred_then_moves_up_15)
{
    openCatalogue();
    EXPECT_EQ(list()->count(), 6);
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("Žádný"));
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    EXPECT_EQ(forms.AktProd, -60);
    EXPECT_FALSE(picture()->isVisible());
    EXPECT_EQ(form->enlarged(), 1);
    EXPECT_EQ(form->outerHeight(), 559);
    EXPECT_EQ(child<QGroupBox>(*form, "Informace")->height(), 199);
    EXPECT_EQ(lines()->height(), 175);
    // Centred with its frame (offscreen windows have a 2-pixel frame).
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint((800 - form->frameGeometry().width()) / 2, 20));
    const auto centredAtTop = [&] { return QPoint((800 - form->frameGeometry().width()) / 2, 5); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->frameGeometry().topLeft() == centredAtTop(); }, 5000));
    EXPECT_EQ(form->frameGeometry().topLeft(), centredAtTop());
    EXPECT_FALSE(button("ZvetsitBtn")->isEnabled());
    EXPECT_TRUE(button("ZmensitBtn")->isEnabled());
}

TEST_F(Catalogue, the_layout_buttons_move_the_top_edge_by_half_of_what_they_add)
{
    screen = QRect(0, 0, 800, 599);
    openCatalogue();
    EXPECT_EQ(form->outerHeight(), 449);
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint((800 - form->frameGeometry().width()) / 2, 75));
    QTest::qWait(40);
    EXPECT_EQ(form->frameGeometry().top(), 75);

    button("ZvetsitBtn")->click();
    EXPECT_EQ(form->outerHeight(), 559);
    EXPECT_EQ(form->frameGeometry().top(), 20);
    form->ZvetsitBtnClick();
    EXPECT_EQ(form->frameGeometry().top(), 20);
    button("ZmensitBtn")->click();
    EXPECT_EQ(form->outerHeight(), 449);
    EXPECT_EQ(form->frameGeometry().top(), 75);
    EXPECT_EQ(child<QGroupBox>(*form, "Informace")->height(), 89);
    EXPECT_EQ(lines()->height(), 65);
    form->ZmensitBtnClick();
    EXPECT_EQ(form->frameGeometry().top(), 75);
    EXPECT_TRUE(button("ZvetsitBtn")->isEnabled());
    EXPECT_FALSE(button("ZmensitBtn")->isEnabled());
}

TEST_F(Catalogue, a_product_shows_its_facts_description_and_authors)
{
    openCatalogue();
    select(0);
    QStringList expected = infoLines("Žádný obrázek", "0");
    expected << " "
             << "Popis programu:"
             << "První řádek"
             << "Druhý řádek"
             << " "
             << "Autoři programu:"
             << "Jan Novák";
    EXPECT_EQ(shownLines(), expected);
    EXPECT_EQ(lines()->currentRow(), 0);
    EXPECT_EQ(child<QGroupBox>(*form, "AplGB")->title(), QStringLiteral("Žádný obrázek"));
    EXPECT_EQ(lines()->font().family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_FALSE(picture()->isVisible());
    expectButtons(false, false);
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(Catalogue, the_picture_buttons_follow_one_and_three_pictures)
{
    openCatalogue();
    select(1);
    EXPECT_TRUE(picture()->isVisible());
    EXPECT_EQ(colour(), 'r');
    expectButtons(false, false);

    select(2);
    EXPECT_EQ(forms.PocetObr, 3);
    EXPECT_EQ(colour(), 'r');
    expectButtons(false, true);
    button("NaslObrBtn")->click();
    EXPECT_EQ(colour(), 'g');
    expectButtons(true, true);
    button("NaslObrBtn")->click();
    EXPECT_EQ(colour(), 'b');
    expectButtons(true, false);
    button("PredchObrBtn")->click();
    EXPECT_EQ(colour(), 'g');
    expectButtons(true, true);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The same entry again changes nothing; another one reloads, with its first picture.
    form->prodSeznClick();
    EXPECT_EQ(colour(), 'g');
    select(0);
    select(2);
    EXPECT_EQ(colour(), 'r');
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(Catalogue, a_seven_line_info_shows_seven_lines_then_reports)
{
    openCatalogue();
    select(3);
    EXPECT_EQ(shownLines(), infoLines("Sedm řádků", "1") << " ");
    EXPECT_FALSE(picture()->isVisible());
    EXPECT_EQ(forms.AktProd, 3);
    EXPECT_EQ(port.texts(), std::vector<std::string>{texts::kMsgChybneInformace});
    EXPECT_EQ(port.beeps, 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Catalogue, a_product_without_description_stops_after_the_blank_line)
{
    openCatalogue();
    select(4);
    EXPECT_EQ(shownLines(), infoLines("Bez popisu", "0") << " ");
    ASSERT_EQ(port.shown.size(), 1u); // the archive module's report of the missing file
    EXPECT_NE(port.shown[0].text.find("POPIS.TXT"), std::string::npos);
}

TEST_F(Catalogue, a_broken_first_picture_shows_no_picture_of_the_product_before)
{
    openCatalogue();
    select(1);
    EXPECT_EQ(colour(), 'r');
    select(5);
    EXPECT_EQ(colour(), '-');
    EXPECT_TRUE(picture()->isVisible());
    expectButtons(false, true);
    const std::size_t reports = port.shown.size();
    EXPECT_GE(reports, 1u);
    button("NaslObrBtn")->click(); // 1.JPG is missing: reported, the index still moves on
    EXPECT_GT(port.shown.size(), reports);
    EXPECT_EQ(forms.AktObr, 1);
    expectButtons(true, false);
}

TEST_F(Catalogue, PSF_Produkty_succeeds_when_the_user_closes_the_window)
{
    ASSERT_GE(open(archiveFile("catalogue.psk", catalogueMembers())), 0);
    whenModal<about::TPSF_ProduktyPSForm>([this](about::TPSF_ProduktyPSForm* w) {
        EXPECT_EQ(forms.window(), w);
        child<QPushButton>(*w, "BitBtn3")->click();
    });
    EXPECT_TRUE(forms.PSF_Produkty());
    whenModal<about::TPSF_ProduktyPSForm>([](about::TPSF_ProduktyPSForm* w) { w->close(); });
    EXPECT_TRUE(forms.PSF_Produkty());
    EXPECT_EQ(forms.window(), nullptr);
}

TEST_F(Catalogue, PSF_Produkty_fails_and_closes_itself_without_a_readable_list)
{
    EXPECT_FALSE(forms.PSF_Produkty());
    EXPECT_EQ(port.texts(), std::vector<std::string>{texts::kMsgArchivNeniDostupny});

    port.shown.clear();
    ASSERT_GE(open(archiveFile("broken.psk", {member(texts::kSeznamFile, "not zlib", 7)})), 0);
    EXPECT_FALSE(forms.PSF_Produkty());
    ASSERT_EQ(port.shown.size(), 2u);
    EXPECT_EQ(port.shown[1].text, texts::kMsgSeznamNenacten);
}

TEST_F(Catalogue, esc_leaves_the_catalogue_open_and_ok_still_closes_it)
{
    ASSERT_GE(open(archiveFile("catalogue.psk", catalogueMembers())), 0);
    bool openAfterEsc = false;
    whenModal<about::TPSF_ProduktyPSForm>([&](about::TPSF_ProduktyPSForm* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        openAfterEsc = w->isVisible();
        child<QPushButton>(*w, "BitBtn3")->click();
    });
    EXPECT_TRUE(forms.PSF_Produkty());
    EXPECT_TRUE(openAfterEsc);
}

TEST_F(Catalogue, with_nothing_selected_the_first_down_or_home_selects_the_first_product)
{
    openCatalogue();
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Home}) {
        form = std::make_unique<about::TPSF_ProduktyPSForm>(forms, nullptr);
        form->resetLayout();
        form->show();
        // What the list's focus leaves: the first row current, nothing selected.
        list()->selectionModel()->setCurrentIndex(list()->model()->index(0, 0), QItemSelectionModel::NoUpdate);
        QTest::keyClick(list(), key);
        EXPECT_EQ(forms.AktProd, 0) << key;
        EXPECT_EQ(list()->selectedItems().value(0), list()->item(0));
    }
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(forms.AktProd, 1);
}

TEST_F(Catalogue, a_scaled_screen_keeps_the_whole_enlarged_window_on_it)
{
    screen = QRect(0, 0, 640, 512); // 1280 x 1024 at a scale factor of 2
    openCatalogue();
    EXPECT_EQ(form->enlarged(), 0);
    EXPECT_EQ(form->frameGeometry().top(), 31);
    EXPECT_FALSE(button("ZmensitBtn")->isVisible()) << "below the normal layout's client area";
    button("ZvetsitBtn")->click();
    EXPECT_EQ(form->outerHeight(), 512) << "as much as the screen holds";
    EXPECT_EQ(form->frameGeometry().top(), 0);
    EXPECT_EQ(lines()->height(), 65 + 512 - 449);
    EXPECT_TRUE(button("ZmensitBtn")->isVisible());
    button("ZmensitBtn")->click();
    EXPECT_EQ(form->outerHeight(), 449);
    EXPECT_EQ(form->frameGeometry().top(), 31);
    EXPECT_FALSE(button("ZmensitBtn")->isVisible());
}
