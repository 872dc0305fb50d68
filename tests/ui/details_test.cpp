// The details window of a finished run: the findings of the error list, the damage map that
// the settings page turns on, and the JSON document saved from the window.
#include "tests/ui/gui_fixture.h"

#include "engine/details_view.h"
#include "engine/findings_json.h"
#include "faultfs_mount.h"
#include "tests/support/held_for_writing.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableWidget>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace gui_test {
namespace {

using nlohmann::json;

class Details : public GuiTest, protected testing_support::WithFaultFs {
protected:
    void runOn(const std::string& directory, bool map, bool quick = false)
    {
        child<QRadioButton>("TestAdrRB")->click();
        child<QLineEdit>("AdrE")->setText(QString::fromStdString(directory));
        child<QRadioButton>(quick ? "RychlyTestRB" : "KompletniTestRB")->click();
        child<QCheckBox>("MapovatCB")->setChecked(map);
        if (page() == 1)
            click("VyslTestuOKBtn");
        click("StartBtn");
        ASSERT_EQ(engine().lastOutcome(), engine::RunOutcome::Finished);
    }

    QWidget* openDetails()
    {
        click("PodrobnostiBtn");
        return form().findChild<QWidget*>(QStringLiteral("DetailsWindow"));
    }

    QTableWidget* table(QWidget* window, const char* name)
    {
        return window->findChild<QTableWidget*>(QString::fromLatin1(name));
    }

    static std::string cell(QTableWidget* t, int row, int column)
    {
        QTableWidgetItem* item = t->item(row, column);
        return item == nullptr ? std::string("(none)") : item->text().toStdString();
    }

    // Saves from the window's button through the file dialog, under the name typed.
    void saveJsonAs(QWidget* window, const std::string& file)
    {
        whenModal<QFileDialog>([&](QFileDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(file));
            static_cast<QDialog*>(d)->accept(); // QFileDialog hides its override
        });
        auto* save = window->findChild<QPushButton*>(QStringLiteral("SaveJsonBtn"));
        ASSERT_NE(save, nullptr);
        QTest::mouseClick(save, Qt::LeftButton);
    }
};

TEST_F(Details, the_button_waits_for_a_finished_run_and_opens_one_window_beside_it_that_a_new_run_closes)
{
    testing_support::writeFile(path("tree/ok.txt"), "hello");
    testing_support::writeFile(path("tree/busy\x01.bin"), "written");
    auto busy = std::make_unique<testing_support::HeldForWriting>(path("tree/busy\x01.bin"));
    ASSERT_TRUE(busy->holding());
    EXPECT_FALSE(child<QPushButton>("PodrobnostiBtn")->isEnabled());

    runOn(path("tree"), false);
    EXPECT_EQ(page(), 1);
    QWidget* window = openDetails();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Podrobnosti o testu"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // the main window stays usable
    QTableWidget* findings = table(window, "FindingsTable");
    ASSERT_EQ(findings->rowCount(), 1);
    // A control character in a name shows as the error list shows it.
    EXPECT_EQ(cell(findings, 0, 0), path("tree/busy?.bin"));
    EXPECT_EQ(cell(findings, 0, 1), "nelze otevřít");
    EXPECT_EQ(cell(findings, 0, 2), "");
    EXPECT_EQ(cell(findings, 0, 3), "");
    EXPECT_EQ(table(window, "SlowTable")->rowCount(), 0);
    auto* origin = window->findChild<QLabel*>(QStringLiteral("NotFromMedium"));
    EXPECT_EQ(origin->text(),
              QString::fromStdString(
                  "Data nezaručeně přečtená z média: " + std::to_string(engine().bytesNotFromMedium()) + " B"));

    // Asked again, the same window comes up; a new run takes it away with the old details.
    EXPECT_EQ(openDetails(), window);
    EXPECT_EQ(form().findChildren<QWidget*>(QStringLiteral("DetailsWindow")).size(), 1);
    busy.reset();
    runOn(path("tree"), false);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(openDetails(), window);
    EXPECT_EQ(table(window, "FindingsTable")->rowCount(), 0);
}

// The offscreen screen is 800 × 600: the window keeps within it and its content scrolls.
// After a quick test, which measures no speed, there is no curve to draw.
TEST_F(Details, the_window_fits_the_screen_and_a_quick_test_draws_no_curve)
{
    testing_support::writeFile(path("tree/ok.txt"), "hello");
    runOn(path("tree"), false, true);
    QWidget* window = openDetails();
    ASSERT_NE(window, nullptr);
    const QRect area = window->screen()->availableGeometry();
    EXPECT_LE(window->frameGeometry().height(), area.height());
    EXPECT_LE(window->frameGeometry().width(), area.width());
    EXPECT_GE(window->frameGeometry().top(), area.top());
    EXPECT_NE(window->findChild<QScrollArea*>(QStringLiteral("DetailsScroll")), nullptr);
    EXPECT_FALSE(engine::detailsView(engine()).curve.measured);

    click("VyslTestuOKBtn");
    runOn(path("tree"), false);
    EXPECT_TRUE(engine::detailsView(engine()).curve.measured);
}

TEST_F(Details, a_run_on_a_failing_medium_fills_the_table_and_the_map_box_reaches_the_engine)
{
    const std::string reason = testing_support::FaultFsMount::unavailableReason();
    if (!reason.empty())
        GTEST_SKIP() << reason;
    mount("a-gone 10 open-eio\n"
          "b-ok 70000\n"
          "c-bad 300000 eio-range 65536 131072\n"
          "d-short 200000 short 100000\n");

    for (bool map : {true, false}) {
        SCOPED_TRACE(map ? "mapped" : "not mapped");
        runOn(fs_->path(), map);
        QWidget* window = openDetails();
        ASSERT_NE(window, nullptr);
        QTableWidget* findings = table(window, "FindingsTable");
        ASSERT_EQ(findings->rowCount(), 3);
        const auto& items = engine().findings().items;
        ASSERT_EQ(items.size(), 3U);
        const char* names[] = {"a-gone", "c-bad", "d-short"};
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(cell(findings, row, 0), at(names[row]));
            EXPECT_EQ(cell(findings, row, 1), engine::kindText(items[row].kind));
        }
        EXPECT_EQ(cell(findings, 0, 4), "Input/output error");
        EXPECT_EQ(cell(findings, 1, 2), "65536");
        EXPECT_EQ(cell(findings, 1, 3), map ? "65536" : "");
        EXPECT_EQ(items[1].mapped, map);
        EXPECT_EQ(cell(findings, 2, 1), "kratší, než byl");
        EXPECT_EQ(cell(findings, 2, 2), "100000");

        // What the window saves is the document vorkan-cli writes for the same run.
        const std::string file = path(map ? "mapped.json" : "plain.json");
        saveJsonAs(window, file);
        json saved = json::parse(testing_support::readFile(file));
        EXPECT_EQ(saved, json::parse(engine::findingsJson(engine())));
        EXPECT_EQ(saved["findings"][1]["unreadable_bytes"], map ? json(65536) : json(nullptr));
    }
    EXPECT_TRUE(port_.shown.empty());
}

TEST_F(Details, saving_the_json_asks_before_replacing_and_reports_a_file_it_cannot_write)
{
    testing_support::writeFile(path("tree/ok.txt"), "hello");
    runOn(path("tree"), false);
    QWidget* window = openDetails();
    ASSERT_NE(window, nullptr);

    testing_support::writeFile(path("old.json"), "old");
    port_.answers.push_back(common::DialogResult::No);
    saveJsonAs(window, path("old.json"));
    EXPECT_EQ(testing_support::readFile(path("old.json")), "old");
    EXPECT_EQ(port_.texts(), std::vector<std::string>{"Soubor již exituje, má se nahradit ?"});

    port_.shown.clear();
    saveJsonAs(window, path("chybí/run.json"));
    ASSERT_EQ(port_.shown.size(), 1U);
    EXPECT_EQ(port_.shown[0].kind, common::DialogKind::Error);
    EXPECT_EQ(port_.shown[0].text.rfind("Zprávu JSON nelze uložit do souboru " + path("chybí/run.json"), 0), 0U)
        << port_.shown[0].text;
}

} // namespace
} // namespace gui_test

namespace gui_test {
namespace {

class DetailsOfManifests : public Details {};

TEST_F(DetailsOfManifests, the_check_box_verifies_the_manifests_found_and_the_window_saves_a_sha256sums)
{
    testing_support::writeFile(path("tree/same.txt"), "same");
    testing_support::writeFile(path("tree/changed.txt"), "before");
    testing_support::writeFile(path("tree/gone.txt"), "gone");
    ASSERT_EQ(std::system(("cd " + path("tree") + " && md5sum same.txt changed.txt gone.txt > MD5SUMS").c_str()), 0);
    testing_support::writeFile(path("tree/changed.txt"), "AFTER!");
    ASSERT_EQ(std::remove(path("tree/gone.txt").c_str()), 0);

    child<QRadioButton>("RychlyTestRB")->click();
    EXPECT_FALSE(child<QCheckBox>("OveritSouctyCB")->isEnabled()); // the complete test only
    child<QCheckBox>("OveritSouctyCB")->setChecked(true);
    runOn(path("tree"), false);
    EXPECT_EQ(child<QLabel>("PocetchybL")->text(), QStringLiteral("Počet chyb: 2"));
    QWidget* window = openDetails();
    ASSERT_NE(window, nullptr);
    QTableWidget* findings = table(window, "FindingsTable");
    ASSERT_EQ(findings->rowCount(), 2);
    EXPECT_EQ(cell(findings, 0, 0), path("tree/changed.txt"));
    EXPECT_EQ(cell(findings, 0, 1), "jiný obsah");
    EXPECT_EQ(cell(findings, 1, 0), path("tree/gone.txt"));
    EXPECT_EQ(cell(findings, 1, 1), "chybí");
    QString shown = window->findChild<QLabel*>(QStringLiteral("Manifests"))->text();
    EXPECT_TRUE(shown.contains(QStringLiteral("MD5SUMS (coreutils, md5): 3 záznamů"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Shoduje se: 1, jiný obsah: 1, chybí: 1"))) << shown.toStdString();

    const std::string sums = path("SHA256SUMS");
    whenModal<QFileDialog>([&](QFileDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(sums));
        static_cast<QDialog*>(d)->accept();
    });
    auto* save = window->findChild<QPushButton*>(QStringLiteral("SaveManifestBtn"));
    ASSERT_TRUE(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(std::system(("cd " + path("tree") + " && sha256sum -c --strict --quiet " + sums).c_str()), 0);
}

} // namespace
} // namespace gui_test
