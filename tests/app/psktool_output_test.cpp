// psktool's output must arrive, or the command fails.
#include "child_process.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testing_support::ProcessResult;
using testing_support::runProcess;
using testing_support::TempDir;

namespace {

TEST(PsktoolOutput, listAndCatFailWithStatus1WhenStandardOutputCannotBeWritten)
{
    TempDir dir;
    testing_support::writeFile(dir / "member.txt", std::string(10000, 'm'));
    ProcessResult made = runProcess({MKPSK_PATH, "-o", dir / "a.psk", "TEXT\\M.TXT=" + dir / "member.txt"}, 30s);
    ASSERT_EQ(made.exitCode, 0) << made.describe();
    const std::vector<std::string> commands[] = {{"list", dir / "a.psk"}, {"cat", dir / "a.psk", "TEXT\\M.TXT"}};
    for (const auto& args : commands) {
        std::string command = std::string("exec '") + PSKTOOL_PATH + "'";
        for (const std::string& a : args)
            command += " '" + a + "'";
        ProcessResult fine = runProcess({"/bin/sh", "-c", command}, 30s);
        EXPECT_EQ(fine.exitCode, 0) << args[0] << ": " << fine.describe();
        for (const char* redirection : {"> /dev/full", ">&-"}) {
            ProcessResult r = runProcess({"/bin/sh", "-c", command + " " + redirection}, 30s);
            EXPECT_EQ(r.exitCode, 1) << args[0] << " " << redirection << ": " << r.describe();
            EXPECT_THAT(r.err, ::testing::HasSubstr("psktool: cannot write to standard output: ")) << args[0];
        }
    }
}

} // namespace
