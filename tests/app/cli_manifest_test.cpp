// vorkan-cli with checksum manifests: the exit status, the protocol, the JSON result and the
// usage errors; the verdicts themselves are the engine's tests.
#include "cli_run.h"
#include "faultfs_mount.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

using namespace cli_testing;
using nlohmann::json;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

class CliManifests : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::makeDir(tree_);
        writeFile(tree_ + "/a", "first");
        writeFile(tree_ + "/b", "second");
        ASSERT_EQ(std::system(("cd " + tree_ + " && sha256sum a b > " + manifest_).c_str()), 0);
    }
    TempDir dir_;
    std::string tree_ = dir_ / "tree";
    std::string manifest_ = dir_ / "SHA256SUMS";
};

TEST_F(CliManifests, aFileThatDiffersFailsTheRunInTheProtocolAndTheJson)
{
    writeFile(tree_ + "/b", "SECOND");
    std::string out = dir_ / "out.json";
    std::string written = dir_ / "W";
    auto r =
        runCli({"--dir", tree_, "--verify", manifest_, "--json", out, "--write-manifest", written, "--hash", "md5"});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem;
    EXPECT_EQ(p.failed, std::vector<std::string>{tree_ + "/b"});
    json j = json::parse(testing_support::readFile(out));
    ASSERT_EQ(j["findings"].size(), 1u);
    const json& f = j["findings"][0];
    EXPECT_EQ(f["kind"], "checksum");
    EXPECT_EQ(f["algorithm"], "sha256");
    EXPECT_EQ(f["manifest"], manifest_);
    EXPECT_EQ(f["line"], 2);
    EXPECT_NE(f["expected"], f["actual"]);
    const json& v = j["verification"];
    EXPECT_EQ(v["manifests"][0]["format"], "coreutils");
    EXPECT_EQ(v["manifests"][0]["entries"], 2);
    EXPECT_EQ(v["matched"], 1);
    EXPECT_EQ(v["differ"], 1);
    EXPECT_EQ(v["missing"], 0);
    EXPECT_EQ(j["manifest_written"]["path"], written);
    EXPECT_EQ(j["manifest_written"]["algorithm"], "md5");
    EXPECT_EQ(j["manifest_written"]["entries"], 2);
    EXPECT_EQ(std::system(("cd " + tree_ + " && md5sum -c --strict --quiet " + written).c_str()), 0);
}

TEST_F(CliManifests, withoutAManifestTheJsonSaysSoAndAMissingFileIsAnError)
{
    auto plain = runCli({"--dir", tree_, "--json", "-"});
    ASSERT_EQ(plain.exitCode, 0) << plain.describe();
    json j = json::parse(plain.out);
    EXPECT_TRUE(j["verification"].is_null());
    EXPECT_TRUE(j["manifest_written"].is_null());
    ASSERT_EQ(std::remove((tree_ + "/a").c_str()), 0);
    auto r = runCli({"--dir", tree_, "--verify", manifest_});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(parseProtocol(r.out).failed, std::vector<std::string>{tree_ + "/a"});
}

TEST_F(CliManifests, usageErrorsAndUnusableManifestsExitWith2AndSayWhy)
{
    writeFile(dir_ / "garbage", "no manifest at all\n");
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    for (const Case& c : std::vector<Case>{
             {{"--dir", tree_, "--quick", "--verify", manifest_}, "--quick"},
             {{"--dir", tree_, "--quick", "--write-manifest", dir_ / "W"}, "--quick"},
             {{"--dir", tree_, "--verify", dir_ / "garbage"}, dir_ / "garbage"},
             {{"--dir", tree_, "--verify", dir_ / "absent"}, dir_ / "absent"},
             {{"--dir", tree_, "--hash", "md5"}, "--write-manifest"},
             {{"--dir", tree_, "--write-manifest", dir_ / "W", "--hash", "crc"}, "crc"},
         }) {
        auto r = runCli(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.back() << ": " << r.describe();
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
}

TEST_F(CliManifests, aManifestThatCannotBeSavedFailsTheRun)
{
    auto r = runCli({"--dir", tree_, "--write-manifest", dir_ / "no/such/dir/W"});
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_NE(r.err.find(dir_ / "no/such/dir/W"), std::string::npos) << r.err;
}

// A request that stalls while the ones after it come back: the file is hashed in file order
// all the same. A file that cannot be read whole is its read finding, once.
class CliManifestsOnFaultFs : public ::testing::Test, protected testing_support::WithFaultFs {};

TEST_F(CliManifestsOnFaultFs, resultsThatComeBackOutOfOrderAreHashedInFileOrder)
{
    std::string reason = testing_support::FaultFsMount::unavailableReason();
    if (!reason.empty())
        GTEST_SKIP() << reason;
    // Twice the slow threshold: the request is timed from when the one before it came back.
    mount("a-late 6M stall 1048576 2\n"
          "b-hole 3M eio-range 2097152 2101248\n");
    std::string manifest = dir_ / "SUMS";
    ASSERT_EQ(std::system(("cd " + at("") + " && sha256sum a-late > " + manifest +
                           " && echo 0000000000000000000000000000000000000000000000000000000000000000'  b-hole' >> " +
                           manifest)
                              .c_str()),
              0);
    std::string out = dir_ / "out.json";
    auto r = runCli({"--dir", at("."), "--verify", manifest, "--json", out});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    json j = json::parse(testing_support::readFile(out));
    ASSERT_EQ(j["findings"].size(), 1u);
    EXPECT_EQ(j["findings"][0]["kind"], "read");
    EXPECT_EQ(j["verification"]["matched"], 1);
    EXPECT_EQ(j["verification"]["unreadable"], 1);
    EXPECT_EQ(j["verification"]["differ"], 0);
    EXPECT_FALSE(j["slow"].empty()); // the stall did happen
}

} // namespace
