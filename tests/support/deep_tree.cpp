#include "tests/support/deep_tree.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace testing_support {

std::string makeDeepChain(const std::string& root, int depth, const std::string& name)
{
    int dir = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string path = root;
    for (int level = 0; level < depth && dir >= 0; ++level) {
        int file = ::openat(dir, "f", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        bool ok = file >= 0 && ::write(file, "x", 1) == 1;
        if (file >= 0)
            ::close(file);
        ok = ok && ::mkdirat(dir, name.c_str(), 0755) == 0;
        int child = ok ? ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        ::close(dir);
        dir = child;
        path += "/" + name;
    }
    if (dir < 0)
        throw std::runtime_error("cannot build a deep tree below " + root);
    ::close(dir);
    return path;
}

void removeTree(const std::string& path)
{
    // GNU rm walks relative to descriptors, so depth does not stop it.
    const char* argv[] = {"rm", "-rf", "--one-file-system", "--", path.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "rm", nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

} // namespace testing_support
