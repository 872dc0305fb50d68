#include "tests/ui/gui_fixture.h"

#include "faultfs_mount.h"
#include "platform/filesystem.h"

#include "ui/directory_list.h"
#include "ui/dirselec.h"
#include "ui/dirselec_module.h"
#include <chrono>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeWidgetItem>

#include <unistd.h>

namespace gui_test {
namespace {

class DirSelect : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        testing_support::makeDir(path("tree/podadresář"));
        testing_support::makeDir(path("tree/b"));
        child<QRadioButton>("TestAdrRB")->click();
    }
    ui::TPSDirSelectForm& dialog() { return program().dirSelectForm(); }
    template <typename T>
    T* control(const char* name)
    {
        return dialog().findChild<T*>(QString::fromLatin1(name));
    }
    QString adrE() { return child<QLineEdit>("AdrE")->text(); }
    // Shows the dialog from the directory row and acts in it.
    void browse(std::function<void()> act)
    {
        whenModal<ui::TPSDirSelectForm>([act](ui::TPSDirSelectForm*) { act(); });
        click("AdrProchBtn");
    }
};

TEST_F(DirSelect, enter_at_the_first_showing_returns_the_start_directory)
{
    EXPECT_EQ(dialog().windowTitle(), QStringLiteral("Výběr adresáře"));
    EXPECT_EQ(dialog().size(), QSize(363, 258));
    EXPECT_FALSE(control<QLabel>("ADRL")->isVisible());
    QWidget* focused = nullptr;
    browse([&] {
        focused = QApplication::focusWidget();
        QTest::keyClick(focused, Qt::Key_Return);
    });
    EXPECT_EQ(focused, control<QPushButton>("OKBtn")) << focused->objectName().toStdString();
    EXPECT_EQ(adrE(), QString::fromStdString(tmp_.path()));
    EXPECT_EQ(platform::currentDirectory(), tmp_.path());
}

TEST_F(DirSelect, a_typed_name_that_does_not_exist_keeps_the_dialog_open_until_it_is_corrected)
{
    bool openAfterError = false;
    browse([&] {
        auto* adr = control<QLineEdit>("adr");
        adr->clear();
        adr->setFocus();
        typeText(adr, QString::fromStdString(path("tree/chybí")));
        QTest::mouseClick(control<QPushButton>("OKBtn"), Qt::LeftButton);
        openAfterError = dialog().isVisible();
        adr->setText(QString::fromStdString(path("tree//podadresář")));
        QTest::mouseClick(control<QPushButton>("OKBtn"), Qt::LeftButton);
    });
    EXPECT_TRUE(openAfterError);
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Zvolený adresář neexistuje nebo není přístupný."});
    EXPECT_EQ(adrE(), QString::fromStdString(path("tree//podadresář"))); // exactly as typed
}

TEST_F(DirSelect, storno_or_esc_leaves_the_directory_row_as_it_was)
{
    child<QLineEdit>("AdrE")->setText(QStringLiteral("původní"));
    browse([&] {
        control<QLineEdit>("adr")->setText(QString::fromStdString(path("tree")));
        QTest::mouseClick(control<QPushButton>("StornoBtn"), Qt::LeftButton);
    });
    browse([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(adrE(), QStringLiteral("původní"));
    EXPECT_TRUE(port_.shown.empty());
}

TEST_F(DirSelect, opening_a_subdirectory_in_the_list_selects_it_and_the_next_showing_opens_there)
{
    browse([&] {
        auto* list = control<ui::DirectoryList>("DirSez");
        list->setDirectory(QString::fromStdString(path("tree")));
        auto found = list->findItems(QStringLiteral("podadresář"), Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1);
        list->setCurrentItem(found[0]);
        emit list->itemActivated(found[0], 0); // a double-click or Enter
        EXPECT_EQ(list->directory(), QString::fromStdString(path("tree/podadresář")));
        EXPECT_EQ(control<QLineEdit>("adr")->text(), QString::fromStdString(path("tree/podadresář")));
        QTest::mouseClick(control<QPushButton>("OKBtn"), Qt::LeftButton);
    });
    EXPECT_EQ(adrE(), QString::fromStdString(path("tree/podadresář")));
    // Opening within the list does not change the working directory: the next showing
    // opens where the last one did.
    EXPECT_EQ(program().dirSelectModule().PosledniAdr, tmp_.path());
}

TEST_F(DirSelect, choosing_another_drive_shows_its_directory_and_is_remembered_after_ok)
{
    browse([&] {
        auto* drives = control<QComboBox>("drivesezn");
        EXPECT_EQ(drives->currentIndex(), 1); // d, the drive of the start directory
        drives->setCurrentIndex(0);           // c: never visited, so its root
        EXPECT_EQ(control<ui::DirectoryList>("DirSez")->directory(), QStringLiteral("/"));
        EXPECT_EQ(control<QLineEdit>("adr")->text(), QStringLiteral("/"));
        QTest::mouseClick(control<QPushButton>("OKBtn"), Qt::LeftButton);
    });
    EXPECT_EQ(adrE(), QStringLiteral("/"));
    EXPECT_EQ(program().dirSelectModule().PosledniAdr, "/");
    EXPECT_EQ(platform::currentDirectory(), tmp_.path());
    QString shownNext;
    browse([&] {
        shownNext = control<ui::DirectoryList>("DirSez")->directory();
        QTest::mouseClick(control<QPushButton>("StornoBtn"), Qt::LeftButton);
    });
    EXPECT_EQ(shownNext, QStringLiteral("/"));
}

TEST_F(DirSelect, enter_on_a_row_of_the_list_opens_it_and_keeps_the_dialog_open)
{
    testing_support::makeDir(path("tree/b/c"));
    bool stillOpen = false;
    QString shown;
    browse([&] {
        auto* list = control<ui::DirectoryList>("DirSez");
        list->setDirectory(QString::fromStdString(path("tree")));
        list->setFocus();
        // Down from the current directory to its first subdirectory, two levels deep.
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
        stillOpen = dialog().isVisible();
        shown = control<QLineEdit>("adr")->text();
        QTest::mouseClick(control<QPushButton>("StornoBtn"), Qt::LeftButton);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(shown, QString::fromStdString(path("tree/b/c")));
}

TEST_F(DirSelect, every_showing_is_centred_on_the_same_place)
{
    QPoint first;
    QPoint second;
    browse([&] {
        first = dialog().frameGeometry().topLeft();
        dialog().move(first + QPoint(40, 40)); // where the user left it
        QTest::mouseClick(control<QPushButton>("StornoBtn"), Qt::LeftButton);
    });
    browse([&] {
        second = dialog().frameGeometry().topLeft();
        QTest::mouseClick(control<QPushButton>("StornoBtn"), Qt::LeftButton);
    });
    const QRect area = dialog().screen()->availableGeometry();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.x(), area.left() + (area.width() - dialog().frameGeometry().width()) / 2);
}

QStringList rowsBelow(const ui::DirectoryList& list)
{
    QStringList names;
    const QTreeWidgetItem* current = list.currentItem();
    for (int i = 0; current != nullptr && i < current->childCount(); ++i)
        names.push_back(current->child(i)->text(0));
    return names;
}

TEST_F(DirSelect, the_list_shows_every_subdirectory_by_name_regardless_of_case_and_takes_relative_paths)
{
    testing_support::makeDir(path("tree/Alfa"));
    testing_support::makeDir(path("tree/.skryty"));
    testing_support::writeFile(path("tree/soubor"), "x");
    ASSERT_EQ(::symlink("b", path("tree/c_odkaz").c_str()), 0);
    ui::DirectoryList list;
    list.setDirectory(QStringLiteral("tree/./b/.."));
    EXPECT_EQ(list.directory(), QString::fromStdString(path("tree")));
    EXPECT_EQ(rowsBelow(list),
              (QStringList{QStringLiteral(".skryty"), QStringLiteral("Alfa"), QStringLiteral("b"),
                           QStringLiteral("c_odkaz"), QStringLiteral("podadresář")}));
    auto found = list.findItems(QStringLiteral("podadresář"), Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0]->data(0, Qt::UserRole).toString(), QString::fromStdString(path("tree/podadresář")));
    list.setDirectory(QStringLiteral("/"));
    EXPECT_TRUE(list.findItems(QStringLiteral("tmp"), Qt::MatchExactly | Qt::MatchRecursive).size() == 1);
}

class DirSelectOnStalledMedium : public DirSelect, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        DirSelect::SetUp();
        std::string reason = testing_support::FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }
};

// A dead share or a dying drive must not freeze the chooser: the directory shows without its
// subdirectories, and the others still list.
TEST_F(DirSelectOnStalledMedium, a_directory_that_does_not_answer_shows_without_its_subdirectories)
{
    mount("slow/ list-stall 60\nslow/sub/x 10\nfast/sub/x 10\n");
    ui::DirectoryList list;
    list.setDirectory(QString::fromStdString(at("slow")));
    EXPECT_EQ(list.directory(), QString::fromStdString(at("slow")));
    EXPECT_EQ(list.currentItem()->text(0), QStringLiteral("slow"));
    EXPECT_EQ(rowsBelow(list), QStringList{});
    list.setDirectory(QString::fromStdString(at("fast")));
    EXPECT_EQ(rowsBelow(list), QStringList{QStringLiteral("sub")});
}

// Nor must checking a directory typed in: one whose mount does not answer counts as one
// that is not there, after a bounded wait.
TEST_F(DirSelectOnStalledMedium, a_typed_directory_that_does_not_answer_is_refused_without_freezing_the_dialog)
{
    mount("slow/ getattr-stall 60\n");
    child<QLineEdit>("AdrE")->setText(QStringLiteral("původní"));
    bool openAfterError = false;
    std::chrono::steady_clock::duration took{};
    browse([&] {
        control<QLineEdit>("adr")->setText(QString::fromStdString(at("slow")));
        auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(control<QPushButton>("OKBtn"), Qt::LeftButton);
        took = std::chrono::steady_clock::now() - start;
        openAfterError = dialog().isVisible();
        QTest::mouseClick(control<QPushButton>("StornoBtn"), Qt::LeftButton);
    });
    EXPECT_TRUE(openAfterError);
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Zvolený adresář neexistuje nebo není přístupný."});
    EXPECT_EQ(adrE(), QStringLiteral("původní"));
    EXPECT_EQ(platform::currentDirectory(), tmp_.path());
}

} // namespace
} // namespace gui_test
