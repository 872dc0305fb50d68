// vorkan-cli's JSON result on vorkan-faultfs mounts: the kind, the error text and the first
// bad offset of each failure, slow reads and the speed curve, read back with a JSON parser.
#include "cli_run.h"
#include "common/encoding.h"
#include "faultfs_mount.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>
#include <sstream>

using namespace cli_testing;
using nlohmann::json;
using testing_support::FaultFsMount;
using testing_support::TempDir;

namespace {

constexpr std::int64_t kBlock = 4096; // the largest logical block the reader uses

std::string fromBase64(const std::string& text)
{
    static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        bits = (bits << 6) | static_cast<std::uint32_t>(kDigits.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliJson : public ::testing::Test, protected testing_support::WithFaultFs {
protected:
    void SetUp() override
    {
        std::string reason = FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
    }
};

// The names sort the walk: the files of the root first, then the directories.
const char* const kTree = "a-gone 10 open-eio\n"
                          "b-hole 1M eio-range 300000 310000\n"
                          "c-eio 200000 eio-at 70000\n"
                          "d-short 200000 short 100000\n"
                          "e-ok 70000\n"
                          "f-\xff\xfe 10 open-eacces\n"
                          "g-unlisted/ list-eio\n"
                          "g-unlisted/x 10\n";

TEST_F(CliJson, eachFailureHasItsKindErrorAndFirstBadOffsetInTheErrorListsOrder)
{
    mount(kTree);
    const std::string file = dir_ / "result.json";
    ProcessResult r = runCli({"--dir", fs_->path(), "--json", file});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    ASSERT_TRUE(p.wellFormed) << p.problem << "\n" << r.out;
    json doc = json::parse(readFile(file));

    EXPECT_EQ(doc["version"], 1);
    EXPECT_EQ(doc["object"]["kind"], "directory");
    EXPECT_EQ(doc["object"]["location"], fs_->path());
    EXPECT_EQ(doc["test"], "complete");
    EXPECT_EQ(p.line(15), "Počet testovaných souborů: " + doc["files"].dump());
    EXPECT_EQ(p.line(16), "Počet testovaných adresářů: " + doc["directories"].dump());
    EXPECT_EQ(p.line(17), "Velikost testovaných objektů: " + doc["bytes"].dump() + " B");
    EXPECT_EQ(p.line(20), "Celkový počet chyb:" + doc["errors"].dump());
    EXPECT_GE(doc["bytes_read"].get<std::int64_t>(), 70000 + 300000 / 65536 * 65536);

    const json& f = doc["findings"];
    ASSERT_EQ(f.size(), p.failed.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        std::string path =
            f[i].contains("path_bytes") ? fromBase64(f[i]["path_bytes"]) : f[i]["path"].get<std::string>();
        // Standard output shows control characters and bytes that are not UTF-8 as "?".
        EXPECT_EQ(common::validUtf8(common::shownName(path)), p.failed[i]) << i;
        EXPECT_TRUE(f[i]["unreadable_bytes"].is_null());
        EXPECT_TRUE(f[i]["ranges"].is_null());
    }
    ASSERT_EQ(f.size(), 6U) << f.dump(1);
    auto expectFinding = [&](std::size_t i, const char* kind, const json& error, const json& offset) {
        EXPECT_EQ(f[i]["kind"], kind) << f[i].dump();
        EXPECT_EQ(f[i]["error"], error) << f[i].dump();
        EXPECT_EQ(f[i]["offset"], offset) << f[i].dump();
    };
    expectFinding(0, "open", "Input/output error", nullptr);
    // The bad range fails every request that touches it: it is narrowed to the block.
    EXPECT_EQ(f[1]["kind"], "read");
    EXPECT_EQ(f[1]["error"], "Input/output error");
    std::int64_t hole = f[1]["offset"].get<std::int64_t>();
    EXPECT_LE(hole, 300000);
    EXPECT_GT(hole, 300000 - kBlock);
    expectFinding(2, "read", "Input/output error", 70000);
    expectFinding(3, "short", nullptr, 100000);
    expectFinding(4, "open", "Permission denied", nullptr);
    EXPECT_EQ(f[4]["path"], at("f-\xef\xbf\xbd\xef\xbf\xbd")); // each bad byte as U+FFFD
    expectFinding(5, "directory", "Input/output error", nullptr);
    EXPECT_EQ(f[5]["path"], at("g-unlisted"));
    EXPECT_TRUE(doc["slow"].empty());
}

TEST_F(CliJson, toStandardOutputItCarriesNoProtocolAndTellsSlowReads)
{
    mount("fast 100000\nslow 300000 stall 200000 2\n");
    ProcessResult r = runCli({"--dir", fs_->path(), "--json", "-", "--slow", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    json doc = json::parse(r.out); // the whole output, nothing else
    EXPECT_EQ(doc["errors"], 0);
    EXPECT_TRUE(doc["findings"].empty());
    EXPECT_EQ(doc["bytes_read"], 400000);
    ASSERT_FALSE(doc["slow"].empty()) << doc.dump(1);
    for (const json& s : doc["slow"])
        EXPECT_EQ(s["path"], at("slow")) << s.dump();
    const json& stalled = doc["slow"][0];
    EXPECT_LE(stalled["offset"].get<std::int64_t>(), 200000);
    EXPECT_GT(stalled["offset"].get<std::int64_t>() + (4 << 20), 200000);
    EXPECT_GE(stalled["seconds"].get<double>(), 1.0);
    // It came back after the stall of 2 s, which crosses at least one whole second.
    EXPECT_GE(stalled["at_seconds"].get<double>(), 1.0);
    // The run lasted beyond one tick of the read phase.
    ASSERT_FALSE(doc["speed"].empty());
    for (const json& sample : doc["speed"]) {
        ASSERT_EQ(sample.size(), 2U);
        EXPECT_GE(sample[1].get<double>(), 0);
    }

    // Without JSON the threshold is taken, and the protocol stays as it is.
    r = runCli({"--dir", fs_->path(), "--slow", "0.5"});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(parseProtocol(r.out).wellFormed);
}

TEST_F(CliJson, mappingReadsPastEachBadRangeAndLeavesTheProtocolAsItWas)
{
    mount("a-hole 1M eio-range 300000 310000\n"
          "b-eio 200000 eio-at 70000\n"
          "c-wide 8M eio-range 1000000 5000000\n"
          "d-ok 10\n");
    ProcessResult plain = runCli({"--dir", fs_->path()});
    ProcessResult r = runCli({"--dir", fs_->path(), "--map", "--json", dir_ / "r.json"});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    Protocol p = parseProtocol(r.out);
    Protocol q = parseProtocol(plain.out);
    ASSERT_TRUE(p.wellFormed && q.wellFormed) << r.out;
    EXPECT_EQ(p.failed, q.failed);
    EXPECT_EQ(p.line(20), q.line(20));
    EXPECT_EQ(p.line(17), q.line(17));

    json f = json::parse(readFile(dir_ / "r.json"))["findings"];
    ASSERT_EQ(f.size(), 3U) << f.dump(1);
    // Each range ends on the first readable block after it: the reads went past the hole.
    EXPECT_EQ(f[0]["offset"], 299008);
    EXPECT_EQ(f[0]["ranges"], json::parse("[[299008, 311296]]"));
    EXPECT_EQ(f[0]["unreadable_bytes"], 311296 - 299008);
    EXPECT_EQ(f[1]["ranges"], json::parse("[[70000, 200000]]"));
    EXPECT_EQ(f[1]["unreadable_bytes"], 130000);
    EXPECT_EQ(f[2]["ranges"], json::parse("[[999424, 5001216]]"));
    EXPECT_EQ(f[2]["unreadable_bytes"], 5001216 - 999424);
}

TEST_F(CliJson, aFileThatCannotBeWrittenFailsTheRunAfterTheProtocol)
{
    mount("ok 10\n");
    ProcessResult r = runCli({"--dir", fs_->path(), "--json", dir_ / "missing/r.json"});
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_TRUE(parseProtocol(r.out).wellFormed);
    EXPECT_NE(r.err.find("JSON"), std::string::npos) << r.err;
}

} // namespace
