#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace engine {

inline constexpr std::int64_t kChunkSize = 65536;
inline constexpr std::int64_t kQuickTestBytes = 2;

struct ReadRequest {
    std::string path;
    std::int64_t listedSize = 0;
    bool quick = false;      // read the first two bytes only
    bool followLink = false; // the user named this file; a link inside a tree is never followed
};

struct ReadEvent {
    enum class Kind {
        OpenFailed, // cannot be opened, is no regular file, or another process writes it
        Chunk,      // one read finished (the first one also says the open succeeded)
        ReadFailed, // a read failed
    };
    Kind kind = Kind::Chunk;
    std::int64_t bytes = 0;
};

// Opens and reads test files on a thread of its own, so that a read that blocks in the
// kernel for minutes (a scratched disc) never blocks the thread that runs the engine and the
// window. For a complete test the reader goes at most a couple of chunks ahead of the
// engine, so memory stays bounded and the disk stays busy while the engine yields. A file
// given up while its read still blocks is left to the old thread, which ends once the read
// returns; the next file gets a fresh thread.
class BackgroundReader {
public:
    // wake is called on the reader thread after every event it posts.
    explicit BackgroundReader(std::function<void()> wake);
    ~BackgroundReader();
    BackgroundReader(const BackgroundReader&) = delete;
    BackgroundReader& operator=(const BackgroundReader&) = delete;

    // Starts on a file; the previous one must have been finished.
    void start(ReadRequest request);
    // The next event of the current file, if one is there.
    std::optional<ReadEvent> poll();
    // Waits a few microseconds for an event without sleeping; true when one has come.
    bool spinForEvent() const;
    // Done with the current file, read to its end or given up: the reader stops reading it.
    void finish();
    // A read is still under way, perhaps blocked in the kernel for good.
    bool busy() const;

    class Worker;

private:
    std::function<void()> wake_;
    std::shared_ptr<Worker> worker_;
};

} // namespace engine
