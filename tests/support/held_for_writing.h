#pragma once
#include <sys/types.h>

#include <string>

namespace testing_support {

// Another process holds the file open for writing while this lives, so a test cannot open
// it: a failure that the quick test meets too, and root as well.
class HeldForWriting {
public:
    explicit HeldForWriting(const std::string& path);
    ~HeldForWriting();
    HeldForWriting(const HeldForWriting&) = delete;
    HeldForWriting& operator=(const HeldForWriting&) = delete;

    bool holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

} // namespace testing_support
