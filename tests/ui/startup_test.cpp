#include "app/program.h"
#include "common/encoding.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/key_value_store.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"
#include "tools/psk_writer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::vector<std::uint8_t> bytes(const std::string& utf8)
{
    std::string cp = common::utf8ToCp1250(utf8);
    return {cp.begin(), cp.end()};
}

// The program started in a working directory of its own (not the directory of the program).
class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = platform::currentDirectory();
        ASSERT_TRUE(platform::setCurrentDirectory(tmp_.path()));
    }
    void TearDown() override
    {
        program_.reset();
        platform::setCurrentDirectory(previous_);
    }
    void start()
    {
        program_ = std::make_unique<app::Program>(
            app::Program::Machine{drives_, registry_, clock_, tmp_.path(), tmp_ / "Windows", &port_});
    }

    testing_support::TempDir tmp_;
    testing_support::RecordingPort port_;
    platform::DriveTable drives_ = platform::DriveTable::fromDrives({});
    platform::KeyValueStore registry_{tmp_ / "config/registry.ini"};
    platform::SystemClock clock_;
    std::unique_ptr<app::Program> program_;
    std::string previous_;
};

} // namespace

TEST_F(StartUp, without_the_makers_archive_nothing_opens_and_nothing_is_said)
{
    start();
    EXPECT_EQ(program_->archive().PSK_GetPelunPskArchNumber(), -1);
    EXPECT_EQ(program_->archive().PSK_OpenCount(), 0);
    EXPECT_TRUE(port_.shown.empty());
    EXPECT_EQ(program_->links().PSWWW, about::PsNet().PSWWW) << "the built-in addresses stay";
}

TEST_F(StartUp, the_makers_archive_in_the_working_directory_opens_under_any_letter_case)
{
    ASSERT_TRUE(tools::writePsk(
        tmp_ / "PELUN.psk",
        {{"PELUN\\LIBDATA\\PSNET\\PSURL.TXT",
          bytes("post@pelun.example\r\nhttp://druha.pelun.example/\r\nhttp://prvni.pelun.example/\r\n"), 1}},
        1));
    start();
    auto& psk = program_->archive();
    EXPECT_GE(psk.PSK_GetPelunPskArchNumber(), 0);
    EXPECT_TRUE(port_.shown.empty()) << (port_.shown.empty() ? "" : port_.shown[0].text);
    // The first start installs the copy into the user's own system directory and registers it.
    EXPECT_EQ(psk.PSK_GetPelunPskPath(), tmp_ / "Windows/SYSTEM/PELUN.psk");
    EXPECT_TRUE(platform::fileExists(tmp_ / "Windows/SYSTEM/PELUN.psk"));
    EXPECT_EQ(program_->links().PSWWW, "http://prvni.pelun.example/");
    EXPECT_EQ(program_->links().PSWWW2, "http://druha.pelun.example/");
    EXPECT_EQ(program_->links().PSEMail, "post@pelun.example");
}

TEST_F(StartUp, a_damaged_archive_is_reported_by_the_archive_module_and_the_program_starts)
{
    testing_support::writeFile(tmp_ / "pelun.psk", "PSX this is no archive");
    start();
    EXPECT_EQ(program_->archive().PSK_GetPelunPskArchNumber(), -1);
    ASSERT_FALSE(port_.shown.empty());
    EXPECT_NE(port_.shown[0].text.find("není PSK archív"), std::string::npos) << port_.shown[0].text;
    EXPECT_EQ(program_->archive().PSK_OpenCount(), 0);
}
