#pragma once
#include "child_process.h"

#include <chrono>
#include <memory>
#include <string>

namespace testing_support {

// A vorkan-faultfs mount for the length of one test: started in the foreground as a child
// process, live when the constructor returns, and unmounted by the destructor however the
// test ended (SIGTERM, then SIGKILL and a lazy fusermount3 -u if it does not go).
class FaultFsMount {
public:
    // description: the tree, one entry per line (see tests/fusefs/tree.h).
    // mountPoint: an existing empty directory.
    FaultFsMount(const std::string& description, const std::string& mountPoint);
    ~FaultFsMount();
    FaultFsMount(const FaultFsMount&) = delete;
    FaultFsMount& operator=(const FaultFsMount&) = delete;

    const std::string& path() const { return path_; }
    // What the filesystem has logged: one line per fault that struck.
    std::string log() const;
    bool waitForLog(const std::string& text, std::chrono::milliseconds timeout) const;

    // Empty when FUSE mounts can be made here, otherwise why not.
    static std::string unavailableReason();

private:
    std::string path_;
    std::unique_ptr<ChildProcess> server_;
};

bool isMountPoint(const std::string& path);

} // namespace testing_support
