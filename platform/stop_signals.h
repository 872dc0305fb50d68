#pragma once
#include "platform/unique_fd.h"

namespace platform {

// SIGINT and SIGTERM as readable events on a descriptor for as long as the object lives.
// Made before any thread starts, so that no thread receives them itself.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int fd() const { return fd_.get(); }
    // How many arrived since the last call.
    int take();

private:
    UniqueFd fd_;
};

} // namespace platform
