#include "tests/support/held_for_writing.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace testing_support {

HeldForWriting::HeldForWriting(const std::string& path)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        int fd = ::open(path.c_str(), O_WRONLY);
        char c = fd >= 0 ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    holding_ = c == '1';
}

HeldForWriting::~HeldForWriting()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

} // namespace testing_support
