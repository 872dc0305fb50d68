#pragma once
#include "child_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// A vorkan-faultfs mount for the length of one test: started in the foreground as a child
// process, live when the constructor returns, and unmounted by the destructor however the
// test ended (SIGTERM, then SIGKILL and a lazy fusermount3 -u if it does not go).
class FaultFsMount {
public:
    // description: the tree, one entry per line (see tests/fusefs/tree.h).
    // mountPoint: an existing empty directory. options: the server's own (--read-delay …).
    FaultFsMount(const std::string& description, const std::string& mountPoint,
                 const std::vector<std::string>& options = {});
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

// For test fixtures: a temporary directory in which a test mounts the tree it describes.
// A fixture skips its tests in SetUp when FaultFsMount::unavailableReason() is not empty.
class WithFaultFs {
protected:
    // Mounts the described tree on dir_/relative.
    void mount(const std::string& description, const std::string& relative = "mnt",
               const std::vector<std::string>& options = {});
    std::string at(const std::string& relative) const { return fs_->path() + "/" + relative; }

    TempDir dir_;
    std::unique_ptr<FaultFsMount> fs_;
};

} // namespace testing_support
