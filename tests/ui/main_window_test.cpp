#include "tests/ui/gui_fixture.h"

#include "about/daradid.h"
#include "engine/engine_texts.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

namespace gui_test {
namespace {

using common::DialogResult;

class MainWindow : public GuiTest {};

TEST_F(MainWindow, opens_on_the_settings_page_ready_to_test_the_drive_of_the_working_directory)
{
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(form().windowTitle(), QStringLiteral("PELUN Software Vorkan v1.20"));
    EXPECT_EQ(form().windowIconText(), QStringLiteral("Vorkan v1.20"));
    EXPECT_EQ(form().size(), QSize(531, 302));
    EXPECT_EQ(form().minimumSize(), form().maximumSize());
    EXPECT_FALSE(form().windowFlags() & Qt::WindowMaximizeButtonHint);

    EXPECT_TRUE(child<QRadioButton>("TestJednRB")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("KompletniTestRB")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("RychlyTestRB")->isChecked());
    auto* drives = child<QComboBox>("JednE");
    EXPECT_TRUE(drives->isEnabled());
    ASSERT_EQ(drives->count(), 2);
    EXPECT_EQ(drives->itemText(0), QStringLiteral("c: /"));
    EXPECT_EQ(drives->currentText(), QString::fromStdString("d: [DATA] " + tmp_.path()));
    EXPECT_FALSE(drives->itemIcon(1).isNull());
    for (const char* name : {"AdrE", "SoubE"}) {
        EXPECT_FALSE(child<QLineEdit>(name)->isEnabled()) << name;
        EXPECT_TRUE(child<QLineEdit>(name)->text().isEmpty()) << name;
    }
    EXPECT_FALSE(child<QPushButton>("AdrProchBtn")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("SoubProchBtn")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), child<QRadioButton>("TestJednRB"));
    EXPECT_EQ(
        child<QRadioButton>("TestAdrRB")->property("hint").toString(),
        QStringLiteral("Provede testování zadaného adresáře, jeho podadresářů a všech souborů v nich obsažených"));
    EXPECT_TRUE(child<QRadioButton>("TestAdrRB")->toolTip().isEmpty());
}

TEST_F(MainWindow, places_the_controls_where_the_window_was_drawn)
{
    EXPECT_EQ(child<QGroupBox>("GroupBox1")->geometry(), QRect(16, 10, 505, 159));
    EXPECT_EQ(child<QComboBox>("JednE")->geometry(), QRect(120, 32, 145, 19));
    EXPECT_EQ(child<QPushButton>("StartBtn")->geometry(), QRect(416, 184, 105, 25));
    EXPECT_EQ(child<QProgressBar>("Prubeh")->geometry(), QRect(88, 80, 409, 25));
    EXPECT_EQ(child<QPlainTextEdit>("VyslTestu")->geometry(), QRect(10, 15, 487, 210));
    EXPECT_EQ(child<QListWidget>("ChybSezn")->geometry(), QRect(8, 16, 481, 209));
    EXPECT_EQ(child<QPushButton>("BitBtn1")->geometry(), QRect(445, 249, 75, 25));
    // The two groups of options are independent.
    EXPECT_EQ(child<QRadioButton>("TestJednRB")->parentWidget(), child<QGroupBox>("GroupBox1"));
    EXPECT_NE(child<QRadioButton>("KompletniTestRB")->parentWidget(), child<QGroupBox>("GroupBox1"));
}

TEST_F(MainWindow, each_object_option_enables_its_own_row_and_keeps_the_texts_of_the_others)
{
    auto* adr = child<QLineEdit>("AdrE");
    auto* soub = child<QLineEdit>("SoubE");
    auto rowState = [&] {
        return std::vector<bool>{
            child<QComboBox>("JednE")->isEnabled(),          adr->isEnabled(),
            child<QPushButton>("AdrProchBtn")->isEnabled(),  soub->isEnabled(),
            child<QPushButton>("SoubProchBtn")->isEnabled(), child<QCheckBox>("PovrchCB")->isEnabled()};
    };
    QTest::mouseClick(child<QRadioButton>("TestAdrRB"), Qt::LeftButton);
    EXPECT_EQ(rowState(), (std::vector<bool>{false, true, true, false, false, false}));
    adr->setText(QStringLiteral("/tmp/adresář"));
    QTest::mouseClick(child<QRadioButton>("TestSoubRB"), Qt::LeftButton);
    EXPECT_EQ(rowState(), (std::vector<bool>{false, false, false, true, true, false}));
    soub->setText(QStringLiteral("soubor.txt"));
    QTest::mouseClick(child<QRadioButton>("TestJednRB"), Qt::LeftButton);
    EXPECT_EQ(rowState(), (std::vector<bool>{true, false, false, false, false, true}));
    EXPECT_EQ(adr->text(), QStringLiteral("/tmp/adresář"));
    EXPECT_EQ(soub->text(), QStringLiteral("soubor.txt"));
    EXPECT_TRUE(child<QRadioButton>("TestJednRB")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("TestSoubRB")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("KompletniTestRB")->isChecked());
}

TEST_F(MainWindow, the_object_and_the_test_type_are_two_independent_choices)
{
    auto checked = [&] {
        std::vector<bool> state;
        for (const char* name : {"TestJednRB", "TestAdrRB", "TestSoubRB", "KompletniTestRB", "RychlyTestRB"})
            state.push_back(child<QRadioButton>(name)->isChecked());
        return state;
    };
    QTest::mouseClick(child<QRadioButton>("RychlyTestRB"), Qt::LeftButton);
    EXPECT_EQ(checked(), (std::vector<bool>{true, false, false, false, true}));
    QTest::mouseClick(child<QRadioButton>("TestSoubRB"), Qt::LeftButton, {}, QPoint(8, 8), 300);
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, true, false, true}));
    QTest::mouseClick(child<QRadioButton>("KompletniTestRB"), Qt::LeftButton, {}, QPoint(8, 8), 300);
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, true, true, false}));
}

TEST_F(MainWindow, tab_visits_only_the_checked_option_of_each_group_and_the_enabled_controls)
{
    std::vector<QString> visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget()->objectName());
    }
    // The boxes of the damage map, the checksums and the surface scan, additions of this
    // program, come after the test type they refine.
    EXPECT_EQ(visited,
              (std::vector<QString>{"JednE", "KompletniTestRB", "MapovatCB", "OveritSouctyCB", "PovrchCB", "StartBtn",
                                    "OprogBtn", "KonecBtn"}));
}

TEST_F(MainWindow, start_is_refused_with_the_message_of_each_invalid_object)
{
    child<QComboBox>("JednE")->setCurrentIndex(-1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // Enter presses Start
    QTest::mouseClick(child<QRadioButton>("TestAdrRB"), Qt::LeftButton);
    child<QLineEdit>("AdrE")->setText(QString::fromStdString(path("chybí")));
    click("StartBtn");
    QTest::mouseClick(child<QRadioButton>("TestSoubRB"), Qt::LeftButton);
    child<QLineEdit>("SoubE")->setText(QString::fromStdString(tmp_.path()));
    click("StartBtn");
    EXPECT_EQ(
        port_.texts(),
        (std::vector<std::string>{"Neplatné označení jednotky !", "Adresář " + path("chybí") + " není přístupný !",
                                  "Soubor " + tmp_.path() + " neexistuje !"}));
    EXPECT_EQ(page(), 2);
}

TEST_F(MainWindow, closing_without_a_run_asks_and_ends_the_program_only_on_yes)
{
    QSignalSpy ends(&form(), &ui::TMainForm::programEnds);
    QTest::keyClick(&form(), Qt::Key_K, Qt::AltModifier); // "&Konec"
    // The wait alone would only time out; the comparison after it says what was there.
    EXPECT_TRUE(QTest::qWaitFor([&] { return port_.shown.size() == 1; }, 5000));
    ASSERT_EQ(port_.shown.size(), std::size_t{1});
    EXPECT_EQ(port_.shown[0].text, "Opravdu si přejete ukončit program ?");
    EXPECT_EQ(port_.shown[0].kind, common::DialogKind::Question);
    EXPECT_TRUE(form().isVisible());
    EXPECT_FALSE(child<QTimer>("MainTimer")->isActive());
    EXPECT_EQ(ends.count(), 0);

    port_.answers.push_back(DialogResult::Yes);
    form().close();
    EXPECT_FALSE(form().isVisible());
    EXPECT_EQ(ends.count(), 1);
}

TEST_F(MainWindow, browsing_for_a_file_puts_the_chosen_file_into_the_file_row_and_cancel_changes_nothing)
{
    testing_support::writeFile(path("data.bin"), "abc");
    child<QRadioButton>("TestSoubRB")->click();
    auto* open = child<QFileDialog>("OpenDialog1");
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(open->nameFilters(), QStringList{QStringLiteral("Všechny soubory (*)")});
    whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    click("SoubProchBtn");
    EXPECT_TRUE(child<QLineEdit>("SoubE")->text().isEmpty());
    whenModal<QFileDialog>([&](QFileDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path("data.bin")));
        static_cast<QDialog*>(d)->accept(); // QFileDialog hides its override
    });
    click("SoubProchBtn");
    EXPECT_EQ(child<QLineEdit>("SoubE")->text(), QString::fromStdString(path("data.bin")));

    // Accepted while its name completion was up, the dialog leaves no popup behind to take
    // the next key.
    bool completing = false;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        // The completion's model lists the directory in the background: ask until it has.
        edit->setText(QString::fromStdString(path("data")));
        if (QCompleter* c = edit->completer()) {
            for (int i = 0; i < 40 && !c->popup()->isVisible(); ++i) {
                c->setCompletionPrefix(edit->text());
                c->complete();
                QTest::qWait(50);
            }
            completing = c->popup()->isVisible();
        }
        edit->setText(QString::fromStdString(path("data.bin")));
        static_cast<QDialog*>(d)->accept();
    });
    click("SoubProchBtn");
    EXPECT_TRUE(completing);
    for (QCompleter* c : open->findChildren<QCompleter*>())
        EXPECT_FALSE(c->popup()->isVisible());
}

TEST_F(MainWindow, the_about_button_shows_the_about_box_and_leaves_the_settings_page_as_it_was)
{
    child<QRadioButton>("TestAdrRB")->click();
    child<QLineEdit>("AdrE")->setText(QStringLiteral("/some/dir"));
    bool shown = false;
    whenModal<about::TDaRadidF>([&](about::TDaRadidF* box) {
        shown = box->isVisible() && box->windowTitle() == QStringLiteral("O programu");
        box->reject();
    });
    QTest::keyClick(&form(), Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program().aboutBox().isVisible(); }, 5000));
    EXPECT_EQ(page(), 2);
    EXPECT_TRUE(child<QRadioButton>("TestAdrRB")->isChecked());
    EXPECT_EQ(child<QLineEdit>("AdrE")->text(), QStringLiteral("/some/dir"));
}

} // namespace
} // namespace gui_test
