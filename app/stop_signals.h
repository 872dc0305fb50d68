#pragma once
#include "platform/unique_fd.h"

namespace app {

// SIGINT and SIGTERM as readable events on a descriptor for as long as the object lives.
// Made before any thread starts, so that no thread receives them itself.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int fd() const { return fd_.get(); }
    // True when one or more arrived since the last call.
    bool take();

private:
    platform::UniqueFd fd_;
};

} // namespace app
