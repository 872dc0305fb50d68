#pragma once
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {

// Asks for the status of many entries of one directory at once. On a cold cache each status
// needs its inode from the medium; asked one after another they wait for each other, asked
// together (io_uring) the medium serves them side by side. Where io_uring cannot be had the
// entries are asked for one by one, with the same results.
//
// Where the inodes are known to be cached already (a second walk right after a first), the
// kernel answers each status at once, and a round trip through io_uring's worker threads
// would only add a sleep and a wake per batch: such a walk asks one by one.
enum class StatusAsking { Together, OneByOne };

class StatusBatch {
public:
    struct Status {
        int error = 0; // errno, or 0
        struct statx sx {};
    };

    explicit StatusBatch(StatusAsking asking = StatusAsking::Together);
    ~StatusBatch();
    StatusBatch(const StatusBatch&) = delete;
    StatusBatch& operator=(const StatusBatch&) = delete;

    // statuses[i] for names[i], relative to dirFd; links are not followed, nothing is mounted.
    void query(int dirFd, const std::vector<std::string>& names, unsigned mask, std::vector<Status>& statuses);

    static constexpr std::size_t kMaxNames = 128;

private:
    struct Ring;
    std::unique_ptr<Ring> ring_;
};

} // namespace platform
