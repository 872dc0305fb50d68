// How manifest names become paths of the tested object, and lines no real tool in the tests
// writes but people keep.
#include "engine/hash_algorithms.h"
#include "engine/manifest_format.h"
#include "engine/manifest_paths.h"

#include <gtest/gtest.h>

using engine::LineRules;
using engine::TestRoot;

namespace {

TEST(ManifestNames, resolve_against_the_manifests_directory_and_stay_inside_the_tested_object)
{
    TestRoot root = TestRoot::ofDirectory("/usr");
    EXPECT_EQ(root.resolve("", "./bin/ls"), "bin/ls");
    EXPECT_EQ(root.resolve("share/doc", "../man//x/./y"), "share/man/x/y");
    EXPECT_EQ(root.resolve("", "../etc/passwd"), std::nullopt);
    EXPECT_EQ(root.resolve("share", "../../etc/passwd"), std::nullopt);
    EXPECT_EQ(root.resolve("", "/usr/bin/ls"), "bin/ls");
    EXPECT_EQ(root.resolve("", "/usrx/bin/ls"), std::nullopt);
    EXPECT_EQ(root.resolve("", "/etc/passwd"), std::nullopt);
    EXPECT_EQ(root.baseOf("/usr/share/doc/SHA256SUMS"), "share/doc");
    EXPECT_EQ(root.baseOf("/tmp/SHA256SUMS"), "");
    EXPECT_EQ(root.keyOfWalkName("/usr/bin/ls"), "bin/ls");
    EXPECT_EQ(root.walkNameOf("bin/ls"), "/usr/bin/ls");
}

TEST(ManifestNames, the_root_filesystem_holds_every_absolute_name_and_a_file_test_only_its_file)
{
    TestRoot drive = TestRoot::ofDirectory("");
    EXPECT_EQ(drive.resolve("", "/etc/passwd"), "etc/passwd");
    EXPECT_EQ(drive.keyOfWalkName("/etc/passwd"), "etc/passwd");
    TestRoot file = TestRoot::ofFile("/etc/passwd");
    EXPECT_EQ(file.resolve("", "passwd"), "passwd");
    EXPECT_EQ(file.resolve("", "/etc/passwd"), "passwd");
    EXPECT_EQ(file.resolve("", "group"), std::nullopt);
    EXPECT_EQ(file.keyOfWalkName("/etc/passwd"), "passwd");
}

std::optional<engine::ManifestEntry> firstEntry(LineRules& rules, const std::vector<std::string>& lines,
                                                bool crlf = false)
{
    for (const std::string& line : lines) {
        engine::ManifestEntry e;
        if (rules.learn(line, crlf, &e) == LineRules::Kind::Entry)
            return e;
    }
    return std::nullopt;
}

TEST(ManifestLines, hex_digits_of_either_case_and_nothing_else_are_a_digest)
{
    EXPECT_EQ(engine::fromHex("00fFa9"), std::string("\x00\xff\xa9", 3));
    EXPECT_EQ(engine::toHex(engine::fromHex("0123456789ABCDEFabcdef")), "0123456789abcdefabcdef");
    EXPECT_EQ(engine::fromHex("abc"), "") << "odd length";
    for (const char* bad : {"g0", "0G", " 0", "0:", "/0", "@0", "`0",
                            "\xe1"
                            "0",
                            "0\xff"})
        EXPECT_EQ(engine::fromHex(bad), "") << bad;
    LineRules rules;
    std::string digest(64, 'a');
    EXPECT_EQ(rules.learn(digest + "  name", false, nullptr), LineRules::Kind::Entry);
    digest[63] = '\xc1'; // a byte of a name in Windows-1250 is no hex digit
    EXPECT_EQ(rules.learn(digest + "  name", false, nullptr), LineRules::Kind::Improper);
}

TEST(ManifestLines, a_broken_escape_another_algorithm_or_a_short_digest_is_improper)
{
    const std::string hex(64, 'a');
    LineRules rules;
    ASSERT_TRUE(firstEntry(rules, {hex + "  first"}));
    EXPECT_EQ(rules.learn("\\" + hex + "  bad\\escape", false, nullptr), LineRules::Kind::Improper);
    EXPECT_EQ(rules.learn(std::string(32, 'b') + "  md5 in a sha256 file", false, nullptr), LineRules::Kind::Improper);
    EXPECT_EQ(rules.learn("SHA256 (x) = abc", false, nullptr), LineRules::Kind::Improper);
    EXPECT_EQ(rules.learn(hex + " one blank", false, nullptr), LineRules::Kind::Improper);
    EXPECT_EQ(rules.learn("# a comment", false, nullptr), LineRules::Kind::Skipped);
    auto tagged = rules.parse("SHA2-256(a (b).txt)= " + hex);
    ASSERT_TRUE(tagged);
    EXPECT_EQ(tagged->name, "a (b).txt");
}

TEST(ManifestLines, a_windows_manifest_separates_folders_with_backslashes_but_an_escaped_name_keeps_them)
{
    const std::string hex(40, 'c');
    LineRules rules;
    auto e = firstEntry(rules, {"; header", hex + " *dir\\file"}, true);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "dir/file");
    EXPECT_EQ(rules.parse("\\" + hex + "  a\\\\b")->name, "a\\b");
}

TEST(ManifestLines, hashdeep_takes_its_columns_from_the_header_and_a_name_may_hold_commas)
{
    LineRules rules;
    EXPECT_EQ(rules.learn("%%%% HASHDEEP-1.0", false, nullptr), LineRules::Kind::Skipped);
    EXPECT_EQ(rules.learn("%%%% size,sha1,tiger,filename", false, nullptr), LineRules::Kind::Skipped);
    engine::ManifestEntry e;
    ASSERT_EQ(rules.learn("12," + std::string(40, 'd') + "," + std::string(48, 'e') + ",./a,b,c", false, &e),
              LineRules::Kind::Entry);
    EXPECT_EQ(e.name, "./a,b,c");
    EXPECT_EQ(e.size, 12);
    ASSERT_EQ(e.digests.size(), 1u); // tiger is not computed: only the size and SHA-1 count
    EXPECT_EQ(rules.algorithmText(), "sha1");
    EXPECT_EQ(rules.learn("x," + std::string(40, 'd') + ",,./a", false, nullptr), LineRules::Kind::Improper);
}

TEST(ManifestLines, bagit_decodes_only_line_ends_and_the_percent_sign)
{
    LineRules rules(engine::HashAlgorithm::Md5);
    auto e = firstEntry(rules, {std::string(32, 'f') + "  data/a%0Ab%0dc%25d%41"});
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "data/a\nb\rc%d%41");
}

} // namespace
