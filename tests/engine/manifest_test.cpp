// Checksum manifests made by the real tools, held against the bytes the complete test reads.
#include "engine/verification.h"
#include "platform/tree_walk.h"
#include "tests/engine/engine_fixture.h"
#include "tests/engine/loop_device.h"
#include "tests/support/held_for_writing.h"

#include "common/encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>

using engine::Finding;
using testing_support::makeDir;
using testing_support::writeFile;
using testing_support::writeFileOfSize;

namespace {

std::string shq(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int sh(const std::string& command)
{
    return std::system(("/bin/bash -c " + shq(command)).c_str());
}

// Every kind of name a manifest must carry, and files large enough for several reads.
const std::vector<std::string> kNames{
    "plain", "with blank", "žluťoučký kůň", "back\\slash", "sub/deeper/file", "big", "empty",
};
const std::string kNewline = "new\nline";

class Manifests : public testing_support::EngineFixture {
protected:
    void SetUp() override
    {
        makeDir(tree());
        makeDir(tree() + "/sub");
        makeDir(tree() + "/sub/deeper");
        makeDir(dir / "m");
        for (const std::string& name : kNames)
            writeFile(tree() + "/" + name, "content of " + name);
        writeFileOfSize(tree() + "/big", 3 << 20);
        writeFile(tree() + "/empty", "");
        writeFile(tree() + "/" + kNewline, "two\nlines");
    }
    // Runs the tool in the tested directory over every file but the one with a line feed
    // in its name, which only coreutils can write.
    std::string made(const std::string& tool, const std::string& name, bool backslash = true)
    {
        std::string manifest = dir / ("m/" + name);
        std::string without = backslash ? "" : " ! -name '*\\\\*'";
        EXPECT_EQ(sh("cd " + shq(tree()) + " && find . -type f ! -name '*'$'\\n''*'" + without +
                     " -print0 | sort -z | xargs -0 " + tool + " > " + shq(manifest)),
                  0);
        return manifest;
    }
    void verify(std::vector<std::string> manifests, bool found = false)
    {
        engine.setVerification({std::move(manifests), found, std::nullopt});
        runDir(tree());
    }
    const engine::Verification& verdict() const
    {
        EXPECT_NE(engine.verification(), nullptr);
        return *engine.verification();
    }
    const Finding& findingOf(const std::string& path) const
    {
        for (std::size_t i = 0; i < errors().size(); ++i) {
            if (errors()[i] == path)
                return engine.findings().items[i];
        }
        static Finding none;
        ADD_FAILURE() << "no finding of " << path;
        return none;
    }
};

struct Tool {
    const char* command;
    const char* format;
    const char* algorithm;
    bool backslash = true; // it can name a file with "\" in its name
};

void PrintTo(const Tool& tool, std::ostream* out)
{
    *out << tool.command;
}

class ManifestsOfRealTools : public Manifests, public ::testing::WithParamInterface<Tool> {};

TEST_P(ManifestsOfRealTools, every_file_listed_matches_and_the_run_has_no_error)
{
    std::string manifest = made(GetParam().command, "M", GetParam().backslash);
    const auto listed = static_cast<std::int64_t>(kNames.size()) - (GetParam().backslash ? 0 : 1);
    verify({manifest});
    EXPECT_EQ(engine.lastOutcome(), engine::RunOutcome::Finished);
    EXPECT_TRUE(errors().empty()) << errors().front();
    ASSERT_EQ(verdict().manifests().size(), 1u);
    const auto& m = verdict().manifests().front();
    EXPECT_STREQ(engine::formatName(m.format), GetParam().format);
    EXPECT_EQ(m.algorithm, GetParam().algorithm);
    EXPECT_EQ(m.entries, listed);
    EXPECT_EQ(m.improperLines, 0);
    auto c = verdict().counts();
    EXPECT_EQ(c.matched, listed);
    EXPECT_EQ(c.differ + c.missing + c.outside, 0);
    EXPECT_EQ(c.unlisted, 1 + static_cast<std::int64_t>(kNames.size()) - listed); // and the line feed's
}

INSTANTIATE_TEST_SUITE_P(Tools, ManifestsOfRealTools,
                         ::testing::Values(Tool{"sha256sum", "coreutils", "sha256"}, Tool{"md5sum", "coreutils", "md5"},
                                           Tool{"sha1sum -b", "coreutils", "sha1"},
                                           Tool{"sha512sum", "coreutils", "sha512"},
                                           Tool{"sha256sum --tag", "bsd", "sha256"},
                                           Tool{"openssl dgst -sha256", "bsd", "sha256"},
                                           Tool{"rhash --sfv", "sfv", "crc32", false},
                                           Tool{"hashdeep -c md5,sha256 -l", "hashdeep", "md5,sha256"}),
                         [](const auto& test) {
                             std::string name;
                             for (const char* c = test.param.command; *c != 0; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST_F(Manifests, a_line_feed_in_a_name_is_read_back_from_coreutils_escapes)
{
    std::string manifest = dir / "m/S";
    ASSERT_EQ(sh("cd " + shq(tree()) + " && sha256sum " + shq(kNewline) + " back\\\\slash > " + shq(manifest)), 0);
    ASSERT_EQ(sh("grep -c '^\\\\' " + shq(manifest) + " >/dev/null"), 0); // both lines escaped
    verify({manifest});
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(verdict().counts().matched, 2);
}

// Rot: the same size and time, other bytes; a file gone; a file new.
TEST_F(Manifests, a_changed_file_differs_where_the_walk_reads_it_and_a_removed_one_is_missing_after_the_walk)
{
    std::string manifest = made("sha256sum", "S");
    std::string changed = tree() + "/sub/deeper/file";
    ASSERT_EQ(sh("touch -r " + shq(changed) + " " + shq(dir / "stamp") + " && printf X | dd of=" + shq(changed) +
                 " bs=1 seek=2 conv=notrunc status=none && touch -r " + shq(dir / "stamp") + " " + shq(changed)),
              0);
    ASSERT_EQ(std::remove((tree() + "/plain").c_str()), 0);
    ASSERT_EQ(std::remove((tree() + "/with blank").c_str()), 0);
    writeFile(tree() + "/added", "new");
    verify({manifest});
    // Files before subdirectories: the changed file comes last in the walk; then the
    // missing ones in the manifest's order ("./plain" sorts before "./with blank").
    ASSERT_EQ(errors(), (std::vector<std::string>{changed, tree() + "/plain", tree() + "/with blank"}));
    const Finding& differs = findingOf(changed);
    EXPECT_EQ(differs.kind, Finding::Kind::Checksum);
    ASSERT_TRUE(differs.manifestLine);
    EXPECT_EQ(differs.manifestLine->algorithm, "sha256");
    EXPECT_EQ(differs.manifestLine->manifest, manifest);
    EXPECT_NE(differs.manifestLine->expected, differs.manifestLine->actual);
    EXPECT_EQ(differs.manifestLine->actual.size(), 64u);
    const Finding& gone = findingOf(tree() + "/plain");
    EXPECT_EQ(gone.kind, Finding::Kind::Missing);
    ASSERT_TRUE(gone.manifestLine);
    EXPECT_GT(gone.manifestLine->line, 0u);
    auto c = verdict().counts();
    EXPECT_EQ(c.differ, 1);
    EXPECT_EQ(c.missing, 2);
    EXPECT_EQ(c.unlisted, 2); // the line feed's file and the new one
    EXPECT_EQ(c.matched, static_cast<std::int64_t>(kNames.size()) - 3);
}

// Files that come back in one result, in one request and in several: each digest right,
// whole and with one byte changed.
TEST_F(Manifests, files_of_every_size_around_the_hand_off_match_and_a_changed_byte_differs)
{
    const std::vector<std::int64_t> sizes{1, 4095, 4096, 16383, 16384, 16385, 65536, 65537, 300000};
    makeDir(tree() + "/sizes");
    for (std::int64_t size : sizes)
        writeFileOfSize(tree() + "/sizes/" + std::to_string(size), size);
    std::string manifest = made("sha256sum", "Z");
    verify({manifest});
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(verdict().counts().differ, 0);
    EXPECT_EQ(verdict().counts().matched, static_cast<std::int64_t>(kNames.size() + sizes.size()));
    for (std::int64_t size : sizes) {
        std::string name = tree() + "/sizes/" + std::to_string(size);
        ASSERT_EQ(sh("printf X | dd of=" + shq(name) + " bs=1 seek=" + std::to_string(size - 1) +
                     " conv=notrunc status=none"),
                  0);
    }
    verify({manifest});
    EXPECT_EQ(verdict().counts().differ, static_cast<std::int64_t>(sizes.size()));
    EXPECT_EQ(verdict().counts().matched, static_cast<std::int64_t>(kNames.size()));
}

// Once read, a manifest is not read from where it lies again: the files are held against
// what was read, though the manifest is overwritten while they are checked.
TEST_F(Manifests, a_manifest_changed_during_the_run_still_answers_as_it_was_read)
{
    std::string manifest = made("sha256sum", "S");
    bool overwritten = false;
    host.onYield = [&](engine::YieldPoint where) {
        if (where == engine::YieldPoint::BeforeFile && !overwritten) {
            overwritten = true;
            writeFile(manifest, std::string(4096, 'x'));
        }
    };
    verify({manifest});
    EXPECT_TRUE(overwritten);
    EXPECT_TRUE(errors().empty()) << errors().front();
    auto c = verdict().counts();
    EXPECT_EQ(c.matched, static_cast<std::int64_t>(kNames.size()));
    EXPECT_EQ(c.missing, 0);
}

// A manifest of many blocks, listed against the walk's order: every line is found where it
// lies, also the one that a block boundary cuts.
TEST_F(Manifests, a_long_manifest_listed_in_another_order_answers_for_every_file)
{
    const std::string many = tree() + "/many";
    makeDir(many);
    const std::string padding(150, 'p');
    constexpr int kFiles = 1500; // about 330 KiB of lines
    for (int i = 0; i < kFiles; ++i)
        writeFile(many + "/" + std::to_string(i) + padding, "file " + std::to_string(i));
    std::string manifest = dir / "m/reversed";
    ASSERT_EQ(
        sh("cd " + shq(tree()) + " && find ./many -type f -print0 | sort -rz | xargs -0 sha256sum > " + shq(manifest)),
        0);
    const std::string changed = many + "/750" + padding;
    writeFile(changed, "other");
    verify({manifest});
    ASSERT_EQ(errors(), std::vector<std::string>{changed});
    auto c = verdict().counts();
    EXPECT_EQ(c.matched, kFiles - 1);
    EXPECT_EQ(c.differ, 1);
    EXPECT_EQ(c.missing, 0);
}

TEST_F(Manifests, hashdeep_checks_the_size_too)
{
    std::string manifest = made("hashdeep -c md5 -l", "H");
    writeFile(tree() + "/plain", "content of plain and more");
    verify({manifest});
    const Finding& f = findingOf(tree() + "/plain");
    ASSERT_TRUE(f.manifestLine);
    EXPECT_EQ(f.manifestLine->algorithm, "size");
    EXPECT_EQ(f.manifestLine->expected, "16");
    EXPECT_EQ(f.manifestLine->actual, "25");
}

// An SFV from Windows: CR LF, "\" between folders, a Windows-1250 name.
TEST_F(Manifests, a_windows_sfv_names_folders_with_backslashes_and_windows_1250)
{
    std::string manifest = dir / "m/win.sfv";
    std::string czech = common::utf8ToCp1250("žluťoučký kůň");
    ASSERT_EQ(sh("cd " + shq(tree()) + " && rhash --sfv sub/deeper/file plain " + shq("žluťoučký kůň") +
                 " | grep -v '^;' > " + shq(manifest)),
              0);
    std::string text = testing_support::readFile(manifest);
    std::string windows = "; made on Windows\r\n";
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        if (line.starts_with("sub/deeper/file"))
            line = "sub\\deeper\\file" + line.substr(15);
        if (line.starts_with("žluťoučký kůň"))
            line = czech + line.substr(std::string("žluťoučký kůň").size());
        windows += line + "\r\n";
        start = end + 1;
    }
    writeFile(manifest, windows);
    verify({manifest});
    EXPECT_TRUE(errors().empty()) << errors().front();
    EXPECT_EQ(verdict().counts().matched, 3);
    EXPECT_EQ(verdict().manifests().front().improperLines, 0);
}

// Found in the tree: a bag made by hand per RFC 8493 and a SHA256SUMS in a subdirectory,
// each naming files relative to its own directory.
TEST_F(Manifests, manifests_found_in_the_tree_name_files_relative_to_themselves)
{
    makeDir(tree() + "/bag");
    makeDir(tree() + "/bag/data");
    writeFile(tree() + "/bag/bagit.txt", "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n");
    writeFile(tree() + "/bag/data/50% off\nsale", "payload");
    writeFile(tree() + "/bag/manifest-sha256.txt",
              "239f59ed55e737c77147cf55ad0c1b030b6d7ee748a7426952f9b852d5a935e5  data/50%25 off%0Asale\n");
    ASSERT_EQ(sh("cd " + shq(tree()) +
                 "/sub && sha256sum deeper/file ../plain > SHA256SUMS && echo "
                 "'0000000000000000000000000000000000000000000000000000000000000000  ../../outside' >> SHA256SUMS"),
              0);
    engine.setVerification({{}, true, std::nullopt});
    runDir(tree());
    EXPECT_TRUE(errors().empty()) << errors().front();
    ASSERT_EQ(verdict().manifests().size(), 2u);
    EXPECT_EQ(verdict().counts().matched, 3);
    EXPECT_EQ(verdict().counts().outside, 1);
    bool bag = false;
    for (const auto& m : verdict().manifests())
        bag = bag || m.format == engine::ManifestFormat::Bagit;
    EXPECT_TRUE(bag);
}

TEST_F(Manifests, a_manifest_without_a_valid_line_or_that_cannot_be_read_refuses_the_run)
{
    writeFile(dir / "m/garbage", "this is\nno manifest\n");
    verify({dir / "m/garbage"});
    EXPECT_EQ(engine.lastOutcome(), engine::RunOutcome::Refused);
    ASSERT_FALSE(port.shown.empty());
    EXPECT_NE(port.shown.back().text.find(dir / "m/garbage"), std::string::npos);
    verify({dir / "m/none"});
    EXPECT_EQ(engine.lastOutcome(), engine::RunOutcome::Refused);
    EXPECT_NE(port.shown.back().text.find(dir / "m/none"), std::string::npos);
}

TEST_F(Manifests, improper_lines_are_counted_beside_the_valid_ones)
{
    std::string manifest = made("md5sum", "MD5SUMS");
    sh("printf 'garbage\\n\\n# comment\\nabc  plain\\n' >> " + shq(manifest));
    verify({manifest});
    EXPECT_EQ(engine.lastOutcome(), engine::RunOutcome::Finished);
    EXPECT_EQ(verdict().manifests().front().improperLines, 2);
    EXPECT_TRUE(errors().empty());
}

// A file that cannot be read is its own finding, once; it is left out of a written manifest.
TEST_F(Manifests, a_written_manifest_passes_sha256sum_strict_and_leaves_out_what_failed)
{
    std::string manifest = made("sha256sum", "S");
    testing_support::HeldForWriting held(tree() + "/plain");
    ASSERT_TRUE(held.holding());
    engine.setVerification({{manifest}, false, engine::HashAlgorithm::Sha256});
    runDir(tree());
    ASSERT_EQ(errors(), std::vector<std::string>{tree() + "/plain"});
    EXPECT_EQ(engine.findings().items.front().kind, Finding::Kind::Open);
    EXPECT_EQ(verdict().counts().unreadable, 1);
    EXPECT_EQ(verdict().counts().missing, 0);
    std::string written = dir / "m/written";
    ASSERT_EQ(engine.saveManifest(written), 0);
    EXPECT_EQ(engine.manifestWritten()->entries(), static_cast<std::int64_t>(kNames.size()));
    EXPECT_EQ(engine.manifestWritten()->leftOut(), 1);
    EXPECT_EQ(sh("cd " + shq(tree()) + " && sha256sum -c --strict --quiet " + shq(written)), 0);
    EXPECT_EQ(sh("grep -q plain " + shq(written)), 256); // not found
}

TEST_F(Manifests, a_file_test_names_its_file_relative_to_its_directory_and_others_lie_outside)
{
    std::string manifest = made("sha1sum", "S");
    engine.setVerification({{manifest}, false, engine::HashAlgorithm::Md5});
    runFile(tree() + "/big");
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(verdict().counts().matched, 1);
    EXPECT_EQ(verdict().counts().outside, static_cast<std::int64_t>(kNames.size()) - 1);
    ASSERT_EQ(engine.saveManifest(dir / "m/one"), 0);
    EXPECT_EQ(sh("cd " + shq(tree()) + " && md5sum -c --strict --quiet " + shq(dir / "m/one")), 0);
}

TEST_F(Manifests, the_quick_test_hashes_nothing)
{
    std::string manifest = made("sha256sum", "S");
    ASSERT_EQ(std::remove((tree() + "/plain").c_str()), 0);
    engine.setVerification({{manifest}, true, engine::HashAlgorithm::Sha256});
    runDir(tree(), true);
    EXPECT_EQ(engine.verification(), nullptr);
    EXPECT_EQ(engine.manifestWritten(), nullptr);
    EXPECT_TRUE(errors().empty());
}

} // namespace

namespace {

// Bit rot on an ext4 image: one byte flipped on the device under a file whose pages another
// process keeps mapped and locked, so the page cache still holds the old bytes. Root only.
TEST_F(Manifests, bit_rot_is_found_on_the_medium_though_the_cache_holds_the_old_bytes)
{
    makeDir(dir / "loop");
    reads_testing::LoopMount loop(dir / "loop", 32);
    if (!loop.reason().empty())
        GTEST_SKIP() << loop.reason();
    std::string photo = loop.path() + "/photo.jpg";
    writeFileOfSize(photo, 2 << 20);
    std::string manifest = dir / "m/S";
    ASSERT_EQ(sh("cd " + shq(loop.path()) + " && sha256sum photo.jpg > " + shq(manifest) + " && sync"), 0);
    reads_testing::PagesLockedByOtherProcess locked({photo});
    ASSERT_TRUE(locked.ready());
    // The byte 1000 of the file, where the filesystem put it on the device.
    ASSERT_EQ(sh("f=" + shq(photo) + " dev=" + shq(loop.device()) + " tmp=" + shq(dir / "block") + R"SH(
        bs=$(filefrag -v "$f" | sed -n 's/.*blocks of \([0-9]*\) bytes.*/\1/p')
        first=$(filefrag -v "$f" | awk '$1=="0:" {sub(/\.\./, "", $4); print $4}')
        at=$((first * bs + 1000)); base=$((at / 4096 * 4096)); rel=$((at - base))
        dd if="$dev" of="$tmp" bs=4096 skip=$((base / 4096)) count=1 iflag=direct status=none || exit 1
        old=$(dd if="$tmp" bs=1 skip=$rel count=1 status=none | od -An -tu1)
        printf "\\$(printf %o $(( (old ^ 1) & 255 )))" | dd of="$tmp" bs=1 seek=$rel conv=notrunc status=none
        dd if="$tmp" of="$dev" bs=4096 seek=$((base / 4096)) count=1 oflag=direct conv=notrunc status=none)SH"),
              0);
    // What a reader through the cache sees: not checked, it only shows the set-up works.
    int cached = sh("cd " + shq(loop.path()) + " && sha256sum -c --quiet " + shq(manifest) + " >/dev/null 2>&1");
    RecordProperty("sha256sum_through_the_cache", cached == 0 ? "OK" : "FAILED");
    engine.setVerification({{manifest}, false, std::nullopt});
    runDir(loop.path());
    ASSERT_EQ(errors(), std::vector<std::string>{photo});
    EXPECT_EQ(engine.findings().items.front().kind, Finding::Kind::Checksum);
    EXPECT_EQ(engine.bytesNotFromMedium(), 0);
}

} // namespace

// The engine goes on while a file's digests are still being computed (the medium gives the
// large file faster than a core hashes it); its checksum finding still comes before the
// finding of the next file, where the walk read them.
TEST_F(Manifests, a_checksum_finding_comes_before_the_findings_of_later_files)
{
    const std::string root = dir / "order";
    makeDir(root);
    writeFile(root + "/x", "");
    writeFile(root + "/y", "");
    std::vector<std::string> walked; // the large file must be the first the walk meets
    platform::TreeWalker walker(root);
    while (auto e = walker.next()) {
        if (e->kind == platform::WalkEntry::Kind::File)
            walked.push_back(e->path);
    }
    ASSERT_EQ(walked.size(), 2u);
    writeFileOfSize(walked[0], 256 << 20);
    writeFile(walked[1], "held");
    const std::string zeros(64, '0');
    writeFile(dir / "m/order", zeros + "  " + walked[0].substr(root.size() + 1) + "\n");
    testing_support::HeldForWriting held(walked[1]);
    ASSERT_TRUE(held.holding());
    engine.setVerification({{dir / "m/order"}, false, std::nullopt});
    runDir(root);
    ASSERT_EQ(errors(), walked);
    EXPECT_EQ(engine.findings().items[0].kind, Finding::Kind::Checksum);
    EXPECT_EQ(engine.findings().items[1].kind, Finding::Kind::Open);
}
