#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {

void openWithDesktop(const std::string& text)
{
    std::string program = "xdg-open";
    std::string argument = text;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return;
    // A waiter of its own reaps the child whenever it ends, without holding up the caller.
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
    }).detach();
}

} // namespace platform
