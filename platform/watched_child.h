#pragma once
#include <functional>

namespace platform {

// Runs body in a child process while this process, the one a shell waits for, answers
// SIGINT and SIGTERM itself: a thread of the child stuck in the kernel (a FUSE request
// handed to its server, a dying drive's retries) can keep the child from ending for
// minutes, but never keeps the prompt from the user.
//
// Call it first thing, before any thread exists. Both signals stay blocked in the child,
// which takes them from a signalfd. A signal to this process is passed on to the child;
// when the child has not ended within grace after it, it is killed and stopExit is
// returned without waiting for it. Otherwise body's result is returned once the child has
// ended, or grace after body returned (its exit may wait for a stuck thread too); a child
// that dies without returning gives its status as a shell would (128 + the signal), and
// stopExit is returned whenever a stop signal came. Where no child can be made, body runs in
// this process.
// body gets a function to call with its result when it leaves by itself (std::_Exit)
// rather than by returning.
using WatchedBody = std::function<int(const std::function<void(int)>& finished)>;
int runInWatchedChild(const WatchedBody& body, int stopExit, int graceMilliseconds);

} // namespace platform
