#pragma once
#include "engine/hash_algorithms.h"
#include "engine/read_event.h"
#include "engine/read_tally.h"
#include "platform/file_reader.h"
#include "platform/read_profile.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace engine {

using platform::ReadProfile;

struct FileToRead {
    std::uint64_t job = 0;       // increasing; the engine consumes jobs in this order
    platform::ReadFile file;     // already opened for the test
    std::int64_t listedSize = 0; // as the walk listed it
    bool quick = false;          // the quick test: the first 2 bytes only
    bool map = false;            // after a failed read, map the damage to the end (complete test)
};

// Called from the reading threads for each event of a job, in order within the job. Returns
// false when the job has been given up (finished or dropped): it is then no longer read.
using PostReadEvent = std::function<bool(std::uint64_t job, const ReadEvent& event)>;

// Reads the data of opened test files with several requests in flight, across files (many
// small files) and within a file (large ones), and posts what happened in 64 KiB units, the
// units of one completed request in one Chunk event (ReadEvent::units; below, each unit is
// told as if it came alone):
//  - complete test, listed size S > 0: Chunk units of min(65536, rest) bytes up to S, never
//    beyond even if the file grew; a file that ends early gives one Chunk with the bytes of
//    the unit where it ended (maybe 0), a failed read gives ReadFailed after the units read
//    in full before it;
//  - listed as empty: one Chunk with what a read of up to 65536 bytes got;
//  - quick test: one Chunk with min(2, bytes got).
// With map, a failed read does not end the job: the rest of the file is read on, skipping
// over failing blocks, and each unreadable range comes as a BadRange event; MapDone ends it.
// A request that took at least slowSeconds is told by a Slow event before the events of its
// result. A request is timed from when the medium can have begun it: not before it was sent,
// nor before the last request sent ahead of it came back (until then it waited in a queue
// behind that one, which gets the blame), and time in which the process was stopped
// (SIGSTOP) does not count.
// The bytes of each completed request go into the tally as they arrive.
// With algorithms to hash, the bytes of each file are hashed as they come back, in file
// order, and a file read whole ends with a Hashed event after its last Chunk.
// A job runs a bounded distance ahead of what the engine consumed, and the buffers of the
// requests in flight are bounded, whatever the files. A read stalled in the kernel never
// holds up a drop, a stop or the destructor: whatever it needs lives until it returns.
class FileReads {
public:
    FileReads(PostReadEvent post, ReadProfile profile, double slowSeconds = 1.0, HashSet hash = 0,
              std::shared_ptr<ReadTally> tally = nullptr);
    ~FileReads();
    FileReads(const FileReads&) = delete;
    FileReads& operator=(const FileReads&) = delete;

    void add(FileToRead file);                                 // any thread; never blocks for long
    void consumed(std::uint64_t job, std::int64_t chunks = 1); // the engine took Chunk events of job
    void drop(std::uint64_t job);                              // given up: finished by the engine, or a stop
    void dropAll();
    // While held no new request is sent (those in flight come back); release goes on.
    void hold(bool held);
    bool busy() const;                       // a read is under way (maybe stalled for good)
    std::int64_t bytesNotFromMedium() const; // read through the page cache, whole run

    class Service;

private:
    std::shared_ptr<Service> service_;
};

} // namespace engine
