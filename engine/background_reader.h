#pragma once
#include "engine/read_event.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace engine {

struct ReadRequest {
    std::string path;
    std::int64_t listedSize = 0;
    bool quick = false;      // read the first two bytes only
    bool followLink = false; // the user named this file; a link inside a tree is never followed
};

// Opens and reads test files on a thread of its own, so that a read that blocks in the
// kernel for minutes (a scratched disc) never blocks the thread that runs the engine and the
// window. Files are read in the order they are queued; the engine may queue a few ahead of
// the one it tests, so that the disk stays busy while the engine counts and yields, and
// within a file the reader goes at most a couple of chunks ahead. Nothing read is kept, so
// memory stays bounded. A file given up while its read still blocks is left to the old
// thread, which ends once the read returns; later files get a fresh thread.
class BackgroundReader {
public:
    using Job = std::uint64_t;

    // wake is called on the reader thread when an event comes while the engine waits.
    explicit BackgroundReader(std::function<void()> wake);
    ~BackgroundReader();
    BackgroundReader(const BackgroundReader&) = delete;
    BackgroundReader& operator=(const BackgroundReader&) = delete;

    Job queue(ReadRequest request);
    // The next event of job, which must be the oldest job not yet finished.
    std::optional<ReadEvent> poll(Job job);
    // Asks to be woken (the wake function) by the next event; true when an event of job has
    // come meanwhile, so that waiting is not needed. Events only wake after this was asked.
    bool prepareToSleep(Job job);
    // Done with the oldest job, read to its end or given up.
    void finish(Job job);
    // Gives up every queued job (a stop).
    void dropAll();
    // A read is still under way, perhaps blocked in the kernel for good.
    bool busy() const;

    class Worker;

private:
    std::function<void()> wake_;
    std::shared_ptr<Worker> worker_;
    Job nextJob_ = 1;
};

} // namespace engine
