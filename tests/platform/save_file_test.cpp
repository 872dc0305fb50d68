// Saving over whatever a name holds: what the target is afterwards, and the bytes in it.
#include "platform/save_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

constexpr uid_t kNobody = 65534;

struct stat statOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Nothing but the names the test made may stay in the directory.
std::vector<std::string> strayNames(const std::string& dir)
{
    std::vector<std::string> stray;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().starts_with(".vk"))
            stray.push_back(e.path().filename());
    return stray;
}

// Runs fn as the user nobody in a child process; its result is the child's exit status.
int asNobody(const std::function<int()>& fn)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(255);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 254;
}

struct SaveFile : ::testing::Test {
    TempDir dir;
    std::string at(const std::string& name) { return dir / name; }
    void SetUp() override
    {
        ::umask(022);
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0777));
    }
};

TEST_F(SaveFile, a_new_file_is_created_with_the_mode_asked_for_under_the_umask_and_any_length_of_name)
{
    const std::string longName(255, 'n');
    for (const std::string& name : {std::string("new.txt"), longName}) {
        ASSERT_EQ(platform::saveFile(at(name), "text\r\n", 0666), 0) << name.size();
        EXPECT_EQ(readFile(at(name)), "text\r\n");
        EXPECT_EQ(statOf(at(name)).st_mode & 07777, 0644u);
        // Saving again replaces a file of a name at the limit too.
        ASSERT_EQ(platform::saveFile(at(name), "again"), 0) << name.size();
        EXPECT_EQ(readFile(at(name)), "again");
    }
    EXPECT_EQ(platform::saveFile(at("no/such/dir/x"), "x"), ENOENT);
    EXPECT_EQ(platform::saveFile("", "x"), ENOENT);
    EXPECT_TRUE(strayNames(dir.path()).empty());
}

TEST_F(SaveFile, a_plain_file_is_replaced_whole_keeping_mode_owner_and_group)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: device nodes, owners of other users";
    writeFile(at("report.txt"), std::string(9000, 'o'));
    ASSERT_EQ(::chown(at("report.txt").c_str(), 1234, 4321), 0);
    ASSERT_EQ(::chmod(at("report.txt").c_str(), 0640), 0);
    const ino_t before = statOf(at("report.txt")).st_ino;
    ASSERT_EQ(platform::saveFile(at("report.txt"), "new"), 0);
    EXPECT_EQ(readFile(at("report.txt")), "new");
    struct stat after = statOf(at("report.txt"));
    EXPECT_NE(after.st_ino, before) << "replaced, not rewritten";
    EXPECT_EQ(after.st_uid, 1234u);
    EXPECT_EQ(after.st_gid, 4321u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_TRUE(strayNames(dir.path()).empty());
}

TEST_F(SaveFile, links_are_written_through_and_stay_links)
{
    writeFile(at("target.txt"), "old old old");
    ASSERT_EQ(::link(at("target.txt").c_str(), at("hard.txt").c_str()), 0);
    ASSERT_EQ(::symlink("target.txt", at("soft.txt").c_str()), 0);
    ASSERT_EQ(::symlink("created.txt", at("dangling.txt").c_str()), 0);

    ASSERT_EQ(platform::saveFile(at("hard.txt"), "via hard"), 0);
    EXPECT_EQ(readFile(at("target.txt")), "via hard") << "both names of a file see the new text";
    EXPECT_EQ(statOf(at("hard.txt")).st_nlink, 2u);

    ASSERT_EQ(platform::saveFile(at("soft.txt"), "via soft"), 0);
    EXPECT_TRUE(S_ISLNK(statOf(at("soft.txt")).st_mode));
    EXPECT_EQ(readFile(at("target.txt")), "via soft");

    ASSERT_EQ(platform::saveFile(at("dangling.txt"), "made"), 0);
    EXPECT_TRUE(S_ISLNK(statOf(at("dangling.txt")).st_mode));
    EXPECT_EQ(readFile(at("created.txt")), "made");
}

TEST_F(SaveFile, device_nodes_fifos_and_sockets_are_written_in_place_and_never_replaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: device nodes, owners of other users";
    ASSERT_EQ(::mknod(at("null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    ASSERT_EQ(::mknod(at("full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)), 0);
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0666), 0);
    ASSERT_EQ(::mkfifo(at("lonely-fifo").c_str(), 0666), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", at("socket").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    // A reader waits on the FIFO; the protocol fits its buffer, so no thread is needed.
    platform::UniqueFd reader(::open(at("fifo").c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(reader);
    const std::string protocol = "line 1\r\nline 2\r\n";
    EXPECT_EQ(platform::saveFile(at("fifo"), protocol), 0);
    char received[64] = {};
    EXPECT_EQ(::read(reader.get(), received, sizeof received), static_cast<ssize_t>(protocol.size()));
    EXPECT_EQ(std::string(received), protocol);

    struct Case {
        const char* name;
        int error;
        mode_t type;
    };
    const Case cases[] = {
        {"null", 0, S_IFCHR},
        {"full", ENOSPC, S_IFCHR},
        {"lonely-fifo", ENXIO, S_IFIFO}, // no reader: fails at once rather than block for ever
        {"socket", ENXIO, S_IFSOCK},
        {"fifo", 0, S_IFIFO},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) != "fifo") {
            EXPECT_EQ(platform::saveFile(at(c.name), protocol), c.error) << c.name;
        }
        EXPECT_EQ(statOf(at(c.name)).st_mode & S_IFMT, c.type) << c.name;
    }
    ::close(sock);
    EXPECT_EQ(platform::saveFile(dir.path(), protocol), EISDIR);
    EXPECT_TRUE(strayNames(dir.path()).empty());
}

// What an ordinary user may do to files that are not all its own.
TEST_F(SaveFile, another_user_saves_under_the_kernels_permission_checks)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: device nodes, owners of other users";
    namespace fs = std::filesystem;
    fs::create_directory(at("closed"));
    writeFile(at("closed/mine.txt"), "mine, closed dir");
    writeFile(at("roots.txt"), "root's, read-only");
    writeFile(at("roots-open.txt"), "root's, writable");
    writeFile(at("mine.txt"), "mine");
    ASSERT_EQ(::chown(at("closed/mine.txt").c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(at("mine.txt").c_str(), kNobody, kNobody), 0);
    fs::permissions(at("closed"), fs::perms(0755));
    fs::permissions(at("roots.txt"), fs::perms(0644));
    fs::permissions(at("roots-open.txt"), fs::perms(0666));

    struct Case {
        std::string name;
        int error;
        std::string content; // afterwards
        bool replaced;       // a new inode
        uid_t owner;
    };
    const Case cases[] = {
        {"roots.txt", EACCES, "root's, read-only", false, 0},
        {"roots-open.txt", 0, "saved", false, 0},
        {"closed/mine.txt", 0, "saved", false, kNobody},
        {"mine.txt", 0, "saved", true, kNobody},
    };
    for (const Case& c : cases) {
        const ino_t before = statOf(at(c.name)).st_ino;
        EXPECT_EQ(asNobody([&] { return platform::saveFile(at(c.name), "saved"); }), c.error) << c.name;
        EXPECT_EQ(readFile(at(c.name)), c.content) << c.name;
        struct stat after = statOf(at(c.name));
        EXPECT_EQ(after.st_ino != before, c.replaced) << c.name;
        EXPECT_EQ(after.st_uid, c.owner) << c.name;
    }
    EXPECT_TRUE(strayNames(dir.path()).empty());
}

TEST_F(SaveFile, a_save_that_is_not_committed_leaves_the_old_file_and_no_temporary_one)
{
    writeFile(at("keep.txt"), "old");
    {
        platform::SavedFile file = platform::SavedFile::begin(at("keep.txt"));
        ASSERT_TRUE(file.isOpen());
        ASSERT_TRUE(file.write("half of it"));
    }
    EXPECT_EQ(readFile(at("keep.txt")), "old");
    EXPECT_TRUE(strayNames(dir.path()).empty());
}

} // namespace
