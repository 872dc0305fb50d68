// vorkan-cli --device on a disk with bad sectors: an ext4 image served by vorkan-faultfs with
// failing byte ranges, under a read-only loop device, so every failure is the kernel's own
// EIO through the block layer. Root only.
#include "cli_run.h"
#include "engine/mapfile.h"
#include "surface_disk.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

using namespace std::chrono_literals;
using namespace cli_testing;
using nlohmann::json;
using testing_support::ChildProcess;
using testing_support::FaultFsMount;
using testing_support::TempDir;

namespace {

constexpr std::int64_t kMiB = 1 << 20;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, std::int64_t size, char seed)
{
    std::ofstream out(path, std::ios::binary);
    std::string chunk(1 << 16, seed);
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(seed + i % 7);
    for (std::int64_t at = 0; at < size; at += static_cast<std::int64_t>(chunk.size()))
        out.write(chunk.data(), static_cast<std::streamsize>(std::min<std::int64_t>(size - at, chunk.size())));
}

std::string fault(const char* kind, std::int64_t a, std::int64_t b)
{
    return std::string(kind) + " " + std::to_string(a) + " " + std::to_string(b);
}

std::vector<Range> badOf(const json& doc)
{
    std::vector<Range> out;
    for (const auto& r : doc["bad"])
        out.emplace_back(r[0].get<std::int64_t>(), r[1].get<std::int64_t>());
    return out;
}

std::vector<Range> unfinished(const std::string& mapfileText)
{
    std::string why;
    auto parsed = engine::parseMapfile(mapfileText, why);
    EXPECT_TRUE(parsed) << why << "\n" << mapfileText;
    return parsed ? parsed->map.unfinishedAreas() : std::vector<Range>{};
}

class SurfaceScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason = FaultFsMount::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        disk_ = std::make_unique<FaultyDisk>(dir_.path());
    }
    void TearDown() override { disk_.reset(); }

    // An ext4 filesystem of 64 MiB with a large file, a small one and a directory of
    // entries; where they lie is read with filefrag.
    void makeFilesystem()
    {
        std::string why = disk_->makeExt4(64, [](const std::string& at) {
            writeFile(at + "/big", 8 * kMiB, 'a');
            writeFile(at + "/small", 3000, 'k');
            ::mkdir((at + "/dir").c_str(), 0755);
            for (int i = 0; i < 150; ++i)
                writeFile(at + "/dir/entry-with-a-long-name-" + std::to_string(i), 10, 'x');
        });
        ASSERT_EQ(why, "");
        ASSERT_FALSE(disk_->extentsOf("big").empty()) << disk_->extentsText();
    }

    // The byte on the device of a file's offset.
    std::int64_t physicalOf(const std::string& file, std::int64_t offset) const
    {
        for (const auto& e : disk_->extentsOf(file)) {
            if (offset >= e.logical && offset < e.logical + e.length)
                return e.physical + (offset - e.logical);
        }
        ADD_FAILURE() << file << " " << offset << "\n" << disk_->extentsText();
        return 0;
    }

    // A free 8 KiB on the filesystem, as debugfs tells it.
    std::int64_t freeBytes() const
    {
        for (std::int64_t block = 12000; block < 16000; block += 16) {
            auto r = runTool({"debugfs", "-R", "testb " + std::to_string(block) + " 2", disk_->image()});
            if (r.exitCode == 0 && r.out.find("marked in use") == std::string::npos &&
                r.out.find("not in use") != std::string::npos)
                return block * 4096;
        }
        ADD_FAILURE() << "no free blocks";
        return 0;
    }

    // The last block of the first group's inode table: in use, though no inode there is.
    std::int64_t lastInodeTableBlock() const
    {
        auto r = runTool({"dumpe2fs", disk_->image()});
        std::smatch m;
        static const std::regex table(R"(Inode table at (\d+)-(\d+))");
        if (!std::regex_search(r.out, m, table)) {
            ADD_FAILURE() << r.describe();
            return 0;
        }
        return std::stoll(m[2]) * 4096;
    }

    TempDir dir_;
    std::unique_ptr<FaultyDisk> disk_;
};

TEST_F(SurfaceScan, badAreasAreExactToTheBlockAndMapToTheFilesTheyHit)
{
    makeFilesystem();
    std::int64_t inBig = physicalOf("big", 4 * kMiB + 1024);
    std::int64_t smallFirst = physicalOf("small", 0);
    std::int64_t dirBlock = physicalOf("dir", 0);
    std::int64_t freeArea = freeBytes();
    std::int64_t inodeTable = lastInodeTableBlock();
    std::vector<Range> bad{{inBig, inBig + 512},
                           {smallFirst, smallFirst + 512},
                           {dirBlock, dirBlock + 4096},
                           {freeArea, freeArea + 8192},
                           {inodeTable, inodeTable + 4096}};
    std::sort(bad.begin(), bad.end());
    std::vector<std::string> faults;
    for (const auto& [s, e] : bad)
        faults.push_back(fault("eio", s, e));
    ASSERT_EQ(disk_->serve(faults, true), "");

    std::string mapfile = dir_ / "scan.map";
    ProcessResult r = runCli({"--device", disk_->device(), "--mapfile", mapfile, "--json", dir_ / "scan.json"}, 120s);
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    json doc = json::parse(readAll(dir_ / "scan.json"));
    EXPECT_EQ(doc["object"]["kind"], "device");
    EXPECT_EQ(doc["test"], "surface");
    EXPECT_EQ(doc["size"], 64 * kMiB);
    EXPECT_EQ(doc["logical_block"], 512);
    EXPECT_EQ(badOf(doc), bad);
    EXPECT_EQ(doc["bad_bytes"], 512 + 512 + 4096 + 8192 + 4096);
    EXPECT_EQ(doc["bytes_read"], 64 * kMiB - (512 + 512 + 4096 + 8192 + 4096));

    // Each piece: the file and where in it (as filefrag places it), or what kind of area.
    std::string mnt = disk_->mountPoint();
    std::vector<std::string> pieces;
    for (const auto& h : doc["hits"]) {
        std::string what = h.contains("path")
            ? h["path"].get<std::string>() + "@" + std::to_string(h["file_offset"].get<std::int64_t>())
            : h["area"].get<std::string>();
        pieces.push_back(std::to_string(h["start"].get<std::int64_t>()) + "-" +
                         std::to_string(h["end"].get<std::int64_t>()) + " " + what);
    }
    auto piece = [](Range range, const std::string& what) {
        return std::to_string(range.first) + "-" + std::to_string(range.second) + " " + what;
    };
    EXPECT_THAT(pieces,
                ::testing::UnorderedElementsAre(
                    piece({inBig, inBig + 512}, mnt + "/big@" + std::to_string(4 * kMiB + 1024)),
                    piece({smallFirst, smallFirst + 512}, mnt + "/small@0"),
                    piece({dirBlock, dirBlock + 4096}, mnt + "/dir@0"), piece({freeArea, freeArea + 8192}, "free"),
                    piece({inodeTable, inodeTable + 4096}, "metadata")));
    // The summary names the damaged files, one per line.
    EXPECT_NE(r.out.find("\n" + mnt + "/big\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Počet vadných oblastí: 5\n"), std::string::npos) << r.out;

    // The mapfile says the same, and ddrescue's own tools read it.
    EXPECT_EQ(unfinished(readAll(mapfile)), bad);
    ProcessResult t = runTool({"ddrescuelog", "-t", mapfile});
    EXPECT_EQ(t.exitCode, 0) << t.describe();
    EXPECT_THAT(t.out, ::testing::HasSubstr("current status: finished")) << t.out;
    EXPECT_THAT(t.out, ::testing::HasSubstr("non-tried:        0 B")) << t.out;
    EXPECT_THAT(t.out, ::testing::HasSubstr("non-trimmed:        0 B")) << t.out;
}

TEST_F(SurfaceScan, onAnIsoImageTheDirectoryRecordsTellTheFilesHit)
{
    std::string tree = dir_ / "tree";
    ::mkdir(tree.c_str(), 0755);
    ::mkdir((tree + "/a").c_str(), 0755);
    writeFile(tree + "/big.bin", 2 * kMiB, 'b');
    writeFile(tree + "/a/small.txt", 100, 's');
    ProcessResult mk = runTool({"xorriso", "-as", "mkisofs", "-R", "-J", "-quiet", "-o", disk_->image(), tree});
    ASSERT_EQ(mk.exitCode, 0) << mk.describe();
    ProcessResult lba = runTool({"xorriso", "-indev", disk_->image(), "-find", "/", "-exec", "report_lba"});
    std::map<std::string, std::int64_t> start;
    static const std::regex row(R"(File data lba:\s*\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*\d+\s*,\s*'(.*)')");
    std::istringstream lines(lba.out + lba.err);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, row))
            start[m[2]] = std::stoll(m[1]) * 2048;
    }
    ASSERT_EQ(start.count("/big.bin"), 1u) << lba.out << lba.err;
    ASSERT_EQ(start.count("/a/small.txt"), 1u) << lba.out << lba.err;
    Range inBig{start["/big.bin"] + kMiB, start["/big.bin"] + kMiB + 2048};
    Range small{start["/a/small.txt"], start["/a/small.txt"] + 2048};
    ASSERT_EQ(disk_->serve({fault("eio", inBig.first, inBig.second), fault("eio", small.first, small.second)}, false),
              "");

    ProcessResult r = runCli({"--device", disk_->device(), "--json", "-"}, 120s);
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    json doc = json::parse(r.out);
    std::vector<Range> bad{inBig, small};
    std::sort(bad.begin(), bad.end());
    EXPECT_EQ(badOf(doc), bad);
    std::vector<std::string> files;
    for (const auto& h : doc["hits"])
        files.push_back(h.value("path", h.value("area", "")) + "@" + std::to_string(h.value("file_offset", -1)));
    EXPECT_THAT(files, ::testing::UnorderedElementsAre("/big.bin@" + std::to_string(kMiB), "/a/small.txt@0"));
}

TEST_F(SurfaceScan, theMapfileAgreesWithWhatDdrescueItselfWrites)
{
    std::ofstream(disk_->image()).close();
    ASSERT_EQ(::truncate(disk_->image().c_str(), 16 * kMiB), 0);
    // A lone sector, a run of three across a 4 KiB page, and a large area that is skipped.
    std::vector<Range> bad{{kMiB + 512, kMiB + 1024}, {3 * kMiB - 1024, 3 * kMiB + 512}, {6 * kMiB, 7 * kMiB + 1536}};
    std::vector<std::string> faults;
    for (const auto& [s, e] : bad)
        faults.push_back(fault("eio", s, e));
    ASSERT_EQ(disk_->serve(faults, false), "");

    std::string ours = dir_ / "ours.map";
    ProcessResult r = runCli({"--device", disk_->device(), "--mapfile", ours}, 120s);
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    std::string theirs = dir_ / "ddrescue.map";
    ProcessResult d = runTool({"ddrescue", "-d", "--force", "-q", disk_->device(), "/dev/null", theirs});
    ASSERT_EQ(d.exitCode, 0) << d.describe();
    EXPECT_EQ(unfinished(readAll(ours)), bad);
    EXPECT_EQ(unfinished(readAll(theirs)), bad);
    // We go on from ddrescue's: only its bad areas are read again, and they still fail.
    ProcessResult resumed = runCli({"--device", disk_->device(), "--mapfile", theirs, "--json", "-"}, 120s);
    ASSERT_EQ(resumed.exitCode, 1) << resumed.describe();
    json doc = json::parse(resumed.out);
    EXPECT_EQ(badOf(doc), bad);
    EXPECT_EQ(doc["bytes_read"], 0);
    // And ddrescue resumes from ours: nothing is left for it but the bad areas.
    ProcessResult again = runTool({"ddrescue", "-d", "--force", "-q", "-n", disk_->device(), "/dev/null", ours});
    EXPECT_EQ(again.exitCode, 0) << again.describe();
    EXPECT_EQ(unfinished(readAll(ours)), bad);
}

TEST_F(SurfaceScan, aStoppedScanSavesItsMapfileAndTheResumedOneReadsOnlyWhatIsLeft)
{
    std::ofstream(disk_->image()).close();
    ASSERT_EQ(::truncate(disk_->image().c_str(), 48 * kMiB), 0);
    // No bad area: a finished scan then maps nothing, so every read of the second run is the
    // scan's own. (That what failed is tried again is the plan's test.)
    ASSERT_EQ(disk_->serve({"stall " + std::to_string(24 * kMiB) + " 1"}, false), "");
    std::string mapfile = dir_ / "scan.map";

    std::size_t before = disk_->log().size();
    {
        ChildProcess cli(cliCommand({"--device", disk_->device(), "--mapfile", mapfile}));
        ASSERT_TRUE(disk_->waitForLog("stall begins", 60s)) << disk_->log();
        cli.signal(SIGINT);
        ProcessResult r = cli.wait(20s);
        ASSERT_EQ(r.exitCode, 130) << r.describe();
    }
    // The stop leaves a stalled read behind; it must have come back (or been given up)
    // before the reads of the second run are counted.
    auto settled = [&] {
        std::string log = disk_->log();
        return log.find("stall ends") != std::string::npos || log.find("stall abandoned") != std::string::npos;
    };
    for (int i = 0; i < 600 && !settled(); ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(settled()) << disk_->log();
    // ... and so must the requests the loop device had queued behind it.
    for (std::size_t seen = 0; seen != disk_->log().size();) {
        seen = disk_->log().size();
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_FALSE(readsInLog(disk_->log(), before).empty());
    std::string saved = readAll(mapfile);
    std::string why;
    auto parsed = engine::parseMapfile(saved, why);
    ASSERT_TRUE(parsed) << why << saved;
    std::vector<Range> finished;
    for (const auto& b : parsed->map.blocks()) {
        if (b.state == engine::BlockState::Finished)
            finished.emplace_back(b.pos, b.end());
    }
    ASSERT_FALSE(finished.empty());
    EXPECT_EQ(finished.front().first, 0);
    EXPECT_GE(finished.front().second, 16 * kMiB) << saved;
    auto left = parsed->map.unfinishedAreas();
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.back().second, 48 * kMiB) << saved;

    before = disk_->log().size();
    // No slow read either (a loaded machine makes some): mapping one would read the device.
    ProcessResult r =
        runCli({"--device", disk_->device(), "--mapfile", mapfile, "--json", "-", "--slow", "1000"}, 120s);
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    ASSERT_TRUE(json::accept(r.out)) << r.out;
    std::int64_t read = 0;
    for (const auto& [s, e] : readsInLog(disk_->log(), before)) {
        read += e - s;
        for (const auto& [s1, e1] : finished)
            ASSERT_TRUE(e <= s1 || s >= e1) << "read again: " << s << "-" << e << "\n" << saved;
    }
    std::int64_t leftBytes = 0;
    for (const auto& [s, e] : left)
        leftBytes += e - s;
    EXPECT_EQ(read, leftBytes);
    EXPECT_EQ(json::parse(r.out)["bytes_read"], leftBytes);
    EXPECT_TRUE(unfinished(readAll(mapfile)).empty());
}

TEST_F(SurfaceScan, aStopWhileAReadHangsLeavesWithinSecondsAndSavesTheMapfile)
{
    std::ofstream(disk_->image()).close();
    ASSERT_EQ(::truncate(disk_->image().c_str(), 32 * kMiB), 0);
    ASSERT_EQ(disk_->serve({"stall " + std::to_string(8 * kMiB) + " 6"}, false), "");
    std::string mapfile = dir_ / "scan.map";
    ChildProcess cli(cliCommand({"--device", disk_->device(), "--mapfile", mapfile}));
    ASSERT_TRUE(disk_->waitForLog("stall begins", 60s)) << disk_->log();
    auto stopped = std::chrono::steady_clock::now();
    cli.signal(SIGTERM);
    ProcessResult r = cli.wait(20s);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 5s);
    ASSERT_EQ(r.exitCode, 130) << r.describe();
    auto left = unfinished(readAll(mapfile));
    ASSERT_FALSE(left.empty());
    EXPECT_LE(left.front().first, 8 * kMiB);
    EXPECT_EQ(left.back().second, 32 * kMiB);
}

TEST_F(SurfaceScan, aMapfileOfAnotherDeviceOrNoneAtAllIsRefusedAndKept)
{
    std::ofstream(disk_->image()).close();
    ASSERT_EQ(::truncate(disk_->image().c_str(), 4 * kMiB), 0);
    ASSERT_EQ(disk_->serve({}, false), "");
    const std::string texts[] = {
        "# Mapfile\n0x00000000 + 1\n0x00000000 0x00800000 +\n", // 8 MiB: another device
        "this is no mapfile\n",
    };
    for (const std::string& text : texts) {
        std::string mapfile = dir_ / "other.map";
        std::ofstream(mapfile) << text;
        ProcessResult r = runCli({"--device", disk_->device(), "--mapfile", mapfile});
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_THAT(r.err, ::testing::HasSubstr("Mapový soubor")) << r.err;
        EXPECT_EQ(readAll(mapfile), text);
    }
    // The device itself as the mapfile or the JSON result would be written over: refused too.
    ProcessResult node = runCli({"--device", disk_->device(), "--mapfile", disk_->device()});
    EXPECT_EQ(node.exitCode, 2) << node.describe();
    ProcessResult onDevice = runCli({"--device", disk_->device(), "--json", disk_->device()});
    EXPECT_EQ(onDevice.exitCode, 2) << onDevice.describe();
    EXPECT_THAT(onDevice.err, ::testing::HasSubstr("Výsledek by se zapsal přes testované zařízení: ")) << onDevice.err;
}

TEST_F(SurfaceScan, aDriveOfTheDriveListIsScannedThroughItsDevice)
{
    std::string why = disk_->makeExt4(16, [](const std::string& at) { writeFile(at + "/file", kMiB, 'f'); });
    ASSERT_EQ(why, "");
    std::int64_t inFile = physicalOf("file", 4096);
    ASSERT_EQ(disk_->serve({fault("eio", inFile, inFile + 512)}, true), "");
    // Letters follow the mount table: a test beside this one that mounts or unmounts between
    // the listing and the scan moves them, and the letter then names another drive.
    ProcessResult r;
    json doc;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ProcessResult drives = runCli({"--drives"});
        std::string letter;
        std::istringstream lines(drives.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.find(" " + disk_->mountPoint() + "\t") != std::string::npos)
                letter = line.substr(0, 1);
        }
        ASSERT_FALSE(letter.empty()) << drives.out;
        r = runCli({"--drive", letter, "--surface", "--json", "-"}, 120s);
        doc = json::parse(r.out, nullptr, false);
        if (!doc.is_discarded() && doc.contains("object") && doc["object"]["location"] == disk_->device())
            break;
    }
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    EXPECT_EQ(doc["object"]["location"], disk_->device());
    EXPECT_EQ(badOf(doc), (std::vector<Range>{{inFile, inFile + 512}}));
    ASSERT_EQ(doc["hits"].size(), 1u);
    EXPECT_EQ(doc["hits"][0]["path"], disk_->mountPoint() + "/file");
    EXPECT_EQ(doc["hits"][0]["file_offset"], 4096);
}

TEST_F(SurfaceScan, whatCannotBeScannedIsRefusedWithExit2)
{
    std::ofstream(disk_->image()).close();
    ASSERT_EQ(::truncate(disk_->image().c_str(), kMiB), 0);
    ASSERT_EQ(disk_->serve({}, false), "");
    ProcessResult file = runCli({"--device", disk_->image()});
    EXPECT_EQ(file.exitCode, 2) << file.describe();
    EXPECT_THAT(file.err, ::testing::HasSubstr("Není to blokové zařízení: ")) << file.err;
    ProcessResult missing = runCli({"--device", dir_ / "nothing"});
    EXPECT_EQ(missing.exitCode, 2) << missing.describe();
    EXPECT_THAT(missing.err, ::testing::HasSubstr("Zařízení nelze otevřít: ")) << missing.err;
    std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const auto& a : cliCommand({"--device", disk_->device()}))
        argv.push_back(a);
    ProcessResult other = testing_support::runProcess(argv, 30s);
    EXPECT_EQ(other.exitCode, 2) << other.describe();
    EXPECT_THAT(other.err, ::testing::HasSubstr("Zařízení nelze otevřít: ")) << other.err;
}

} // namespace
