#include "tests/ui/gui_fixture.h"

#include "common/encoding.h"
#include "engine/save_log.h"

#include "ui/save_wait.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <filesystem>
#include <future>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace gui_test {
namespace {

using common::DialogResult;
using engine::SaveLogOutcome;

// The flow after the save dialog, without a window.
class SaveLog : public ::testing::Test {
protected:
    SaveLog()
        : drives_(platform::DriveTable::fromDrives({})), registry_(tmp_ / "registry.ini"),
          pelun_(port_, drives_, registry_, {tmp_.path(), tmp_ / "Windows"})
    {
        result_.VyslTestu = {"Výsledek testu programu PS Vorkan v1.10", "Celkový počet chyb:1"};
        result_.ChybSezn = {"/data/špatný.bin"};
    }

    SaveLogOutcome save(const std::string& path) { return engine::SaveLogBtnClick(pelun_, result_, path); }

    testing_support::TempDir tmp_;
    testing_support::RecordingPort port_;
    platform::DriveTable drives_;
    platform::KeyValueStore registry_;
    common::Pelun pelun_;
    engine::ResultView result_;
};

const std::string kSaved =
    "Výsledek testu programu PS Vorkan v1.10\r\nCelkový počet chyb:1\r\n \r\nCHYBNÉ SOUBORY: \r\n"
    "/data/špatný.bin\r\n \r\n---- Konec protokolu --------- \r\n";

TEST_F(SaveLog, a_new_file_is_written_without_a_question_under_the_name_as_typed)
{
    EXPECT_EQ(save(tmp_ / "protokol"), SaveLogOutcome::Saved);
    EXPECT_TRUE(port_.shown.empty());
    EXPECT_EQ(testing_support::readFile(tmp_ / "protokol"), common::utf8ToCp1250(kSaved));
}

TEST_F(SaveLog, an_existing_file_is_replaced_only_when_the_answer_is_yes)
{
    const std::string file = tmp_ / "p.txt";
    for (DialogResult answer : {DialogResult::No, DialogResult::Cancel}) {
        testing_support::writeFile(file, "old");
        port_.answers.push_back(answer);
        EXPECT_EQ(save(file), SaveLogOutcome::Declined);
        EXPECT_EQ(testing_support::readFile(file), "old") << "answer " << static_cast<int>(answer);
    }
    port_.answers.push_back(DialogResult::Yes);
    EXPECT_EQ(save(file), SaveLogOutcome::Saved);
    EXPECT_EQ(testing_support::readFile(file), common::utf8ToCp1250(kSaved));
    EXPECT_EQ(port_.texts(), std::vector<std::string>(3, "Soubor již exituje, má se nahradit ?"));
}

TEST_F(SaveLog, a_file_that_cannot_be_written_is_reported_and_an_existing_one_is_kept)
{
    EXPECT_EQ(save(tmp_ / "chybí/p.txt"), SaveLogOutcome::Failed);
    ASSERT_EQ(port_.shown.size(), 1u);
    EXPECT_EQ(port_.shown[0].kind, common::DialogKind::Error);
    EXPECT_EQ(port_.shown[0].text.rfind("Protokol o testu nelze uložit do souboru " + (tmp_ / "chybí/p.txt"), 0), 0u);

    // A file the user may not write stays as it was (root may write any).
    testing_support::writeFile(tmp_ / "ro.txt", "old");
    ::chmod((tmp_ / "ro.txt").c_str(), 0444);
    port_.answers.push_back(DialogResult::Yes);
    if (::geteuid() != 0) {
        EXPECT_EQ(save(tmp_ / "ro.txt"), SaveLogOutcome::Failed);
        EXPECT_EQ(testing_support::readFile(tmp_ / "ro.txt"), "old");
    }
}

TEST_F(SaveLog, a_device_node_is_written_in_place_and_its_error_is_shown)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make device nodes";
    ASSERT_EQ(::mknod((tmp_ / "full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)), 0);
    port_.answers.push_back(DialogResult::Yes);
    EXPECT_EQ(save(tmp_ / "full"), SaveLogOutcome::Failed);
    ASSERT_EQ(port_.shown.size(), 2u);
    EXPECT_EQ(port_.shown[1].text,
              "Protokol o testu nelze uložit do souboru " + (tmp_ / "full") + " (No space left on device)");
    struct stat st {};
    ASSERT_EQ(::lstat((tmp_ / "full").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "never replaced by a regular file";
}

// A save given up while its medium does not answer says so, asks nothing more and leaves
// the file as it was; the call left behind writes what was asked, whatever the window shows
// by the time it runs.
TEST_F(SaveLog, a_save_given_up_is_reported_and_the_call_left_behind_writes_what_was_asked)
{
    const std::string file = tmp_ / "p.txt";
    const std::string givenUp =
        "Protokol o testu nelze uložit do souboru " + file + " (médium neodpovídá, uložení nebylo dokončeno)";
    for (int answered : {0, 1}) { // given up at the look at the name, then at the writing
        port_.shown.clear();
        int calls = 0;
        std::function<bool()> leftBehind;
        engine::SaveWait wait = [&](std::function<bool()> call) -> std::optional<bool> {
            if (calls++ < answered)
                return call();
            leftBehind = std::move(call);
            return std::nullopt;
        };
        EXPECT_EQ(engine::SaveLogBtnClick(pelun_, result_, file, wait), SaveLogOutcome::Failed);
        EXPECT_EQ(port_.texts(), std::vector<std::string>{givenUp}) << answered;
        EXPECT_FALSE(std::filesystem::exists(file));
        ASSERT_TRUE(leftBehind);
        if (answered == 1) {
            engine::ResultView asked = result_;
            result_ = {}; // the window has moved on
            EXPECT_TRUE(leftBehind());
            EXPECT_EQ(testing_support::readFile(file), common::utf8ToCp1250(kSaved));
            result_ = asked;
        }
    }
}

// The same through the window's save dialog.
class SaveDialog : public GuiTest {
protected:
    void finishARun()
    {
        testing_support::writeFile(path("tree/a.txt"), "hello");
        child<QRadioButton>("TestAdrRB")->click();
        child<QLineEdit>("AdrE")->setText(QString::fromStdString(path("tree")));
        click("StartBtn");
        ASSERT_EQ(page(), 1);
    }
    void saveAs(const std::string& name)
    {
        whenModal<QFileDialog>([this, name](QFileDialog* d) {
            d->selectFile(QString::fromStdString(path(name)));
            static_cast<QDialog*>(d)->accept(); // QFileDialog hides its override
        });
        click("SaveLogBtn");
    }
};

TEST_F(SaveDialog, offers_text_files_first_and_leaves_the_overwrite_question_to_the_program)
{
    auto* dialog = child<QFileDialog>("SaveDialog1");
    EXPECT_EQ(dialog->nameFilters(),
              (QStringList{QStringLiteral("Textové soubory [*.txt] (*.TXT *.txt)"),
                           QStringLiteral("Všechny soubory [*.*] (*)")}));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(dialog->defaultSuffix().isEmpty());
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
}

TEST_F(SaveDialog, saves_the_report_of_the_run_and_asks_before_replacing_it)
{
    finishARun();
    saveAs("protokol.txt");
    const std::string first = testing_support::readFile(path("protokol.txt"));
    EXPECT_EQ(first.rfind(common::utf8ToCp1250("Výsledek testu programu PS Vorkan v1.10\r\n"), 0), 0u);
    EXPECT_TRUE(port_.shown.empty());

    testing_support::writeFile(path("protokol.txt"), "old");
    port_.answers.push_back(DialogResult::Cancel);
    saveAs("protokol.txt");
    EXPECT_EQ(testing_support::readFile(path("protokol.txt")), "old");
    port_.answers.push_back(DialogResult::Yes);
    saveAs("protokol.txt");
    EXPECT_EQ(testing_support::readFile(path("protokol.txt")), first);
    EXPECT_EQ(port_.shown.size(), 2u);
    EXPECT_EQ(page(), 1);
}

// A save that does not end: the window's events go on, the program says what it saves,
// and Storno gives the save up at once.
class SaveWaitDialog : public GuiTest {};

TEST_F(SaveWaitDialog, a_save_that_does_not_end_is_shown_and_storno_gives_it_up)
{
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    bool timerRan = false;
    QTimer::singleShot(50, [&] { timerRan = true; });
    QString shown;
    whenModal<QProgressDialog>([&](QProgressDialog* d) {
        shown = d->labelText();
        auto* storno = d->findChild<QPushButton*>();
        ASSERT_NE(storno, nullptr);
        EXPECT_EQ(storno->text(), QStringLiteral("Storno"));
        storno->click();
    });
    std::optional<bool> answer = ui::waitForSave(&form(), QStringLiteral("/stalled/p.txt"), [opened] {
        opened.wait_for(std::chrono::seconds(20));
        return true;
    });
    EXPECT_FALSE(answer);
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(shown, QStringLiteral("Ukládá se soubor /stalled/p.txt"));
    gate->set_value();
}

} // namespace
} // namespace gui_test
