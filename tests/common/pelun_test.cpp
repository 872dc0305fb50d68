#include "common/pelun.h"

#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using common::Pelun;
using common::PS_FormatTime;
using testing_support::RecordingPort;
using testing_support::TempDir;

namespace {

struct PelunFixture : ::testing::Test {
    TempDir dir;
    RecordingPort port;
    platform::KeyValueStore registry{dir / "registry.ini"};
    platform::DriveTable drives = platform::DriveTable::fromDrives({
        {'c', platform::DriveType::Fixed, dir.path(), "", "/dev/vda"},
        {'d', platform::DriveType::CdRom, "", "", "/dev/sr0"},
        {'e', platform::DriveType::Removable, dir.path(), "STICK", "/dev/sdb1"},
    });
    Pelun pelun{port, drives, registry, {dir.path(), dir / "Windows"}};
};

} // namespace

TEST(FormatTime, pads_each_field_to_two_characters_and_widens_for_long_hours)
{
    EXPECT_EQ(PS_FormatTime(0), " 0 :  0 :  0");
    EXPECT_EQ(PS_FormatTime(59), " 0 :  0 : 59");
    EXPECT_EQ(PS_FormatTime(60), " 0 :  1 :  0");
    EXPECT_EQ(PS_FormatTime(1800), " 0 : 30 :  0");
    EXPECT_EQ(PS_FormatTime(3661), " 1 :  1 :  1");
    EXPECT_EQ(PS_FormatTime(5399), " 1 : 29 : 59");
    EXPECT_EQ(PS_FormatTime(359999), "99 : 59 : 59");
    EXPECT_EQ(PS_FormatTime(360000), "100 :  0 :  0");
}

TEST(FormatTime, uses_floor_quotients_for_negative_seconds)
{
    EXPECT_EQ(PS_FormatTime(-10), "-1 : 59 : 50");
    EXPECT_EQ(PS_FormatTime(-3600), "-1 :  0 :  0");
    EXPECT_EQ(PS_FormatTime(-3601), "-2 : 59 : 59");
    EXPECT_EQ(PS_FormatTime(INT32_MIN), "-596524 : 45 : 52");
}

TEST_F(PelunFixture, internal_error_wraps_the_text_in_the_numbered_wording)
{
    pelun.PS_InternalError(100, "Chybné odečtení časů");
    ASSERT_EQ(port.shown.size(), 1u);
    EXPECT_EQ(port.shown[0].kind, common::DialogKind::Error);
    EXPECT_EQ(
        port.shown[0].text,
        "Došlo k vnitřní chybě programu číslo 100.  Chyba: \"Chybné odečtení časů\" Prosím restartujte aplikaci a "
        "pokud problém nezmizí proveďte restart počítače. Pokud přesto problém nezmizí přeinstalujte aplikaci. V "
        "případě, že se problém stále vyskytuje, kontaktujte autora programu.");
    EXPECT_EQ(port.beeps, 0);
    EXPECT_EQ(pelun.PS_LastMessage(), port.shown[0].text);
}

TEST_F(PelunFixture, message_severities_choose_dialog_and_beep)
{
    EXPECT_TRUE(pelun.PS_Message(5, "info"));
    EXPECT_EQ(port.beeps, 0);
    port.answers = {common::DialogResult::Yes, common::DialogResult::No, common::DialogResult::Cancel};
    EXPECT_TRUE(pelun.PS_Message(10, "q1"));
    EXPECT_FALSE(pelun.PS_Message(10, "q2"));
    EXPECT_FALSE(pelun.PS_Message(10, "q3"));
    EXPECT_TRUE(pelun.PS_Message(30, "error"));
    EXPECT_EQ(port.beeps, 1);
    EXPECT_TRUE(pelun.PS_Message(7, "nothing shown"));
    ASSERT_EQ(port.shown.size(), 5u);
    EXPECT_EQ(port.shown[0].kind, common::DialogKind::Information);
    EXPECT_EQ(port.shown[1].kind, common::DialogKind::Question);
    EXPECT_EQ(port.shown[4].kind, common::DialogKind::Error);
    EXPECT_EQ(pelun.PS_LastMessage(), "nothing shown");
}

TEST_F(PelunFixture, messages_switched_off_are_kept_but_not_shown)
{
    pelun.setShowMessages(false);
    EXPECT_TRUE(pelun.PS_Message(10, "question"));
    EXPECT_TRUE(pelun.PS_ShowError("error"));
    EXPECT_TRUE(port.shown.empty());
    EXPECT_EQ(pelun.PS_LastMessage(), "error");
}

TEST_F(PelunFixture, drive_type_names_ignore_letter_case_and_refuse_non_letters)
{
    EXPECT_EQ(pelun.PS_GetdriveType('c'), "Pevný disk");
    EXPECT_EQ(pelun.PS_GetdriveType('C'), "Pevný disk");
    EXPECT_EQ(pelun.PS_GetdriveType('d'), "CD-ROM");
    EXPECT_EQ(pelun.PS_GetdriveType('E'), "Výměnný disk");
    EXPECT_EQ(pelun.PS_GetdriveType('q'), "*");
    EXPECT_TRUE(port.shown.empty());
    EXPECT_EQ(pelun.PS_GetdriveType('1'), "*");
    ASSERT_EQ(port.shown.size(), 1u);
    EXPECT_EQ(port.shown[0].text, "PS_GetdriveType: \"1\" není platné označení jednotky.");
}

TEST_F(PelunFixture, drive_ready_needs_a_readable_filesystem_and_raises_for_non_letters)
{
    EXPECT_TRUE(pelun.PS_DriveReady('c'));
    EXPECT_FALSE(pelun.PS_DriveReady('d')); // optical drive without a medium
    EXPECT_FALSE(pelun.PS_DriveReady('x'));
    EXPECT_TRUE(port.shown.empty());
    try {
        pelun.PS_DriveReady('#');
        FAIL() << "no exception";
    } catch (const common::ConvertError& e) {
        EXPECT_STREQ(e.what(), "Not a valid drive ID");
    }
}

TEST_F(PelunFixture, system_dir_comes_from_the_store_or_the_default_root)
{
    EXPECT_EQ(pelun.PS_GetSystemDir(), dir / "Windows/SYSTEM");
    struct stat st {};
    EXPECT_EQ(::stat((dir / "Windows/SYSTEM").c_str(), &st), 0);
    ASSERT_TRUE(registry.write("Software\\Microsoft\\Windows\\CurrentVersion", "SystemRoot", "/opt/win"));
    EXPECT_EQ(pelun.PS_GetSystemDir(), "/opt/win/SYSTEM");
}

TEST_F(PelunFixture, copy_file_copies_content_and_replaces_destination)
{
    std::string big(300000, 'x');
    big[123456] = 'y';
    testing_support::writeFile(dir / "src", big);
    testing_support::writeFile(dir / "dst", "old content that is longer");
    EXPECT_TRUE(pelun.PS_CopyFile(dir / "src", dir / "dst"));
    EXPECT_EQ(testing_support::readFile(dir / "dst"), big);
    testing_support::writeFile(dir / "empty", "");
    EXPECT_TRUE(pelun.PS_CopyFile(dir / "empty", dir / "empty-copy"));
    EXPECT_EQ(testing_support::readFile(dir / "empty-copy"), "");
    EXPECT_TRUE(port.shown.empty());
}

TEST_F(PelunFixture, copy_file_reports_each_failure_with_a_beep)
{
    EXPECT_FALSE(pelun.PS_CopyFile(dir / "missing", dir / "out"));
    struct stat st {};
    EXPECT_NE(::stat((dir / "out").c_str(), &st), 0) << "nothing may be created";
    testing_support::writeFile(dir / "src", "abc");
    EXPECT_FALSE(pelun.PS_CopyFile(dir / "src", dir / "no/such/dir/out"));
    testing_support::makeDir(dir / "adir");
    EXPECT_FALSE(pelun.PS_CopyFile(dir / "adir", dir / "out2"));
    EXPECT_FALSE(pelun.PS_CopyFile(dir / "src", "/dev/full"));
    ASSERT_EQ(port.texts().size(), 4u);
    EXPECT_EQ(port.texts()[0], "PS_CopyFile:  Nepodařilo se otevřít soubor " + dir / "missing");
    EXPECT_EQ(port.texts()[1], "PS_CopyFile:  Nepodařilo se otevřít soubor " + dir / "no/such/dir/out");
    EXPECT_EQ(port.texts()[2], "PS_CopyFile:  Není možné číst ze souboru " + dir / "adir");
    EXPECT_EQ(port.texts()[3], "PS_CopyFile:  Není možné zapisovat do souboru /dev/full");
    EXPECT_EQ(port.beeps, 4);
}

TEST_F(PelunFixture, copy_file_onto_its_own_source_is_refused_and_leaves_it_whole)
{
    const std::string content(70000, 's');
    testing_support::writeFile(dir / "src", content);
    ASSERT_EQ(::link((dir / "src").c_str(), (dir / "hard").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "src").c_str(), (dir / "soft").c_str()), 0);
    for (const std::string& destination : {dir / "src", dir / "hard", dir / "soft", dir.path() + "/./src"}) {
        port.shown.clear();
        EXPECT_FALSE(pelun.PS_CopyFile(dir / "src", destination)) << destination;
        EXPECT_EQ(port.texts(), std::vector<std::string>{"PS_CopyFile:  Nepodařilo se otevřít soubor " + destination});
        EXPECT_EQ(testing_support::readFile(dir / "src"), content) << destination;
    }
}
