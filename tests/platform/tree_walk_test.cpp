#include "platform/tree_walk.h"

#include "tests/support/deep_tree.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

using platform::TreeWalker;
using platform::WalkEntry;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

// One line per entry: "+path" begin, "-path" end, "f path size", "!path" failed,
// "?path" broken listing. Paths relative to the root.
struct WalkWay {
    platform::StatusAsking asking = platform::StatusAsking::Together;
    bool warmAhead = false;
};

std::vector<std::string> walkAll(const std::string& root, int limit = 8,
                                 const std::function<void(const WalkEntry&)>& onEntry = {}, int* maxOpen = nullptr,
                                 WalkWay way = {})
{
    std::vector<std::string> lines;
    TreeWalker walker(root, limit, way.asking, way.warmAhead);
    while (auto e = walker.next()) {
        if (onEntry)
            onEntry(*e);
        if (maxOpen)
            *maxOpen = std::max(*maxOpen, walker.openDirectories());
        std::string path = e->path.substr(std::min(root.size(), e->path.size()));
        switch (e->kind) {
        case WalkEntry::Kind::File:
            lines.push_back("f " + path + " " + std::to_string(e->size) +
                            (e->error != 0 ? " !" + std::to_string(e->error) : ""));
            break;
        case WalkEntry::Kind::DirectoryBegin: lines.push_back("+" + path); break;
        case WalkEntry::Kind::DirectoryEnd: lines.push_back("-" + path); break;
        case WalkEntry::Kind::DirectoryFailed: lines.push_back("!" + path); break;
        case WalkEntry::Kind::ListingBroken: lines.push_back("?" + path); break;
        }
    }
    return lines;
}

std::size_t countFiles(const std::vector<std::string>& lines)
{
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == 'f'; }));
}

// Runs body in a child process, as user 65534 when asked (root ignores permissions); its
// exit code.
int inChild(const std::function<int()>& body, bool asNobody = false)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (asNobody && ::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

} // namespace

TEST(TreeWalker, gives_files_before_subdirectories_and_each_subtree_whole)
{
    TempDir dir;
    writeFile(dir / "a/x", "12");
    writeFile(dir / "a/b/y", "");
    writeFile(dir / "top", "12345");
    testing_support::makeDir(dir / "c");
    auto lines = walkAll(dir.path());
    // The listing order of a directory is the filesystem's; only the shape is fixed.
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines.front(), "+");
    EXPECT_EQ(lines[1], "f /top 5");
    EXPECT_EQ(lines.back(), "-");
    auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
    EXPECT_LT(at("+/a"), at("f /a/x 2"));
    EXPECT_LT(at("f /a/x 2"), at("+/a/b"));
    EXPECT_EQ(at("+/a/b") + 1, at("f /a/b/y 0"));
    EXPECT_EQ(at("-/a/b") + 1, at("-/a"));
    EXPECT_EQ(at("+/c") + 1, at("-/c"));
}

TEST(TreeWalker, reports_only_regular_files_and_directories_with_64_bit_sizes)
{
    TempDir dir;
    writeFile(dir / "real", "x");
    testing_support::makeDir(dir / "sub");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir / "loop").c_str()), 0);
    ASSERT_EQ(::symlink("sub", (dir / "dirlink").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sock = dir / "sock";
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    std::copy(sock.begin(), sock.end(), addr.sun_path);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    int big = ::open((dir / "sub/big").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(big, 0);
    ASSERT_EQ(::ftruncate(big, (5LL << 30) + 7), 0);
    ::close(big);
    auto lines = walkAll(dir.path());
    ::close(s);
    EXPECT_EQ(lines, (std::vector<std::string>{"+", "f /real 1", "+/sub", "f /sub/big 5368709127", "-/sub", "-"}));
}

TEST(TreeWalker, walks_trees_deeper_than_descriptors_and_paths_allow)
{
    TempDir dir;
    // 700 levels of 8-byte names: a path of 6,300 bytes, far beyond PATH_MAX.
    std::string deepest = testing_support::makeDeepChain(dir.path(), 700, "level_07");
    writeFile(dir / "side/g", "zz");
    int maxOpen = 0;
    auto lines = walkAll(dir.path(), 4, {}, &maxOpen);
    EXPECT_EQ(countFiles(lines), 701u);
    EXPECT_LE(maxOpen, 5); // the limit and the listing stream
    EXPECT_NE(std::find(lines.begin(), lines.end(), "-" + deepest.substr(dir.path().size())), lines.end());
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == '!' || l[0] == '?'; }), 0);

    // The same walk in a process that may hold only 64 descriptors.
    int code = inChild([&] {
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        return countFiles(walkAll(dir.path())) == 701u ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
}

TEST(TreeWalker, goes_back_up_through_closed_parents_to_their_other_subdirectories)
{
    TempDir dir;
    for (const char* branch : {"a", "b", "c"}) {
        testing_support::makeDir(dir / branch);
        testing_support::makeDeepChain(dir / branch, 30, "d");
    }
    auto lines = walkAll(dir.path(), 3);
    EXPECT_EQ(countFiles(lines), 90u);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == '+'; }), 94);
}

TEST(TreeWalker, reports_directories_it_cannot_open_or_list)
{
    TempDir dir;
    writeFile(dir / "ok/f", "1");
    writeFile(dir / "closed/hidden", "1");
    writeFile(dir / "noexec/inner", "1");
    ASSERT_EQ(::chmod((dir / "closed").c_str(), 0), 0);
    ASSERT_EQ(::chmod((dir / "noexec").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    int code = inChild(
        [&] {
            auto lines = walkAll(dir.path());
            bool closed = std::find(lines.begin(), lines.end(), "!/closed") != lines.end();
            // Listed, but its entries cannot be looked at: each is named, the directory is not.
            std::string inner = "f /noexec/inner 0 !" + std::to_string(EACCES);
            bool noexec = std::find(lines.begin(), lines.end(), inner) != lines.end() &&
                std::find(lines.begin(), lines.end(), "?/noexec") == lines.end();
            bool hidden = std::find(lines.begin(), lines.end(), "f /closed/hidden 1") == lines.end();
            return closed && noexec && hidden && countFiles(lines) == 2 ? 0 : 1;
        },
        true);
    EXPECT_EQ(code, 0);

    TreeWalker missing(dir / "missing");
    auto first = missing.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind, WalkEntry::Kind::DirectoryFailed);
    EXPECT_EQ(first->error, ENOENT);
    EXPECT_FALSE(missing.next());
}

TEST(TreeWalker, does_not_follow_a_directory_swapped_for_a_link_mid_walk)
{
    TempDir dir;
    TempDir outside;
    writeFile(outside / "secret", "s");
    writeFile(dir / "a/f", "1");
    writeFile(dir / "b/f", "1");
    bool swapped = false;
    auto lines = walkAll(dir.path(), 8, [&](const WalkEntry& e) {
        if (e.kind == WalkEntry::Kind::DirectoryBegin && e.path != dir.path() && !swapped) {
            // Whichever subdirectory comes second is replaced now.
            std::string other = e.path == dir / "a" ? dir / "b" : dir / "a";
            std::filesystem::rename(other, dir / "moved");
            ASSERT_EQ(::symlink(outside.path().c_str(), other.c_str()), 0);
            swapped = true;
        }
    });
    EXPECT_EQ(countFiles(lines), 1u);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("secret") != std::string::npos; }),
              0);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == '!'; }), 1);
}

TEST(TreeWalker, leaves_out_mounts_below_the_root_bind_mounts_of_itself_included)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    writeFile(dir / "f", "1");
    testing_support::makeDir(dir / "self");
    testing_support::makeDir(dir / "tmp");
    if (::mount(dir.path().c_str(), (dir / "self").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind mounts are not allowed here";
    bool tmpfs = ::mount("tmpfs", (dir / "tmp").c_str(), "tmpfs", 0, nullptr) == 0;
    if (tmpfs)
        writeFile(dir / "tmp/inner", "1");
    auto lines = walkAll(dir.path());
    ::umount2((dir / "self").c_str(), MNT_DETACH);
    if (tmpfs)
        ::umount2((dir / "tmp").c_str(), MNT_DETACH);
    EXPECT_EQ(countFiles(lines), 1u);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "+/self"), lines.end());
}

// How statuses are asked for and whether directories are read ahead is a matter of speed:
// the walk itself must not change.
TEST(TreeWalker, reading_ahead_or_asking_one_by_one_walks_the_same_tree_the_same_way)
{
    TempDir dir;
    testing_support::makeDeepChain(dir.path(), 600, "level_07"); // beyond PATH_MAX
    for (int d = 0; d < 30; ++d)
        for (int f = 0; f < 5; ++f)
            writeFile(dir / ("wide/d" + std::to_string(d) + "/sub/f" + std::to_string(f)), std::string(d + f, 'x'));
    ASSERT_EQ(::symlink("wide", (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "wide/fifo").c_str(), 0600), 0);
    bool bound =
        ::geteuid() == 0 && ::mount(dir.path().c_str(), (dir / "wide/d3").c_str(), nullptr, MS_BIND, nullptr) == 0;
    auto plain = walkAll(dir.path());
    auto warmed = walkAll(dir.path(), 8, {}, nullptr, {platform::StatusAsking::Together, true});
    auto oneByOne = walkAll(dir.path(), 3, {}, nullptr, {platform::StatusAsking::OneByOne, false});
    if (bound)
        ::umount2((dir / "wide/d3").c_str(), MNT_DETACH);
    EXPECT_EQ(countFiles(plain), 600u + 30 * 5 - (bound ? 5 : 0));
    EXPECT_EQ(warmed, plain);
    EXPECT_EQ(oneByOne, plain);
}

TEST(TreeWalker, empty_root_walks_the_root_directory)
{
    TreeWalker walker("");
    auto first = walker.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind, WalkEntry::Kind::DirectoryBegin);
    EXPECT_EQ(first->path, "");
    bool sawEtc = false;
    for (int i = 0; i < 200; ++i) {
        auto e = walker.next();
        if (!e || e->kind == WalkEntry::Kind::DirectoryBegin) {
            sawEtc = e && e->path.rfind("/", 0) == 0;
            break;
        }
    }
    EXPECT_TRUE(sawEtc);
}
