#pragma once
#include <string>

namespace engine {
struct TestPageView;
}

namespace app {

// One line of progress on standard error, rewritten in place; only when standard error is a
// terminal, so logs and pipes never see it.
class StatusLine {
public:
    StatusLine();
    void show(const engine::TestPageView& view);
    void clear();

private:
    bool enabled_ = false;
    bool shown_ = false;
};

} // namespace app
