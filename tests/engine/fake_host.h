#pragma once
#include "engine/host.h"
#include "platform/clock.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// A clock the test sets by hand.
class FakeClock final : public platform::Clock {
public:
    std::int64_t now = 1'000'000;
    std::int64_t localSeconds() override { return now; }
};

// A host whose events are a script: at every yield the test's callback runs, and it may
// press buttons or fire timer ticks there. Waiting for a read blocks until the reader wakes
// it; the pause loop runs the script on every round.
class FakeHost final : public engine::EngineHost {
public:
    std::function<void(engine::YieldPoint)> onYield;

    void processEvents(engine::YieldPoint where) override;
    void waitForEvents(engine::YieldPoint where) override;
    void wake() override;

    void startMainTimer() override
    {
        mainActive = true;
        ++mainStarts;
    }
    void stopMainTimer() override { mainActive = false; }
    bool mainTimerActive() const override { return mainActive; }
    void startSoubTimer() override { soubActive = true; }
    void stopSoubTimer() override { soubActive = false; }
    void showPage(engine::Page page) override { pages.push_back(page); }
    void setTitle(const std::string& title) override { titles.push_back(title); }
    void viewChanged() override {}
    void beep() override { ++beeps; }

    int count(engine::YieldPoint where) const;

    bool mainActive = false;
    bool soubActive = false;
    int mainStarts = 0;
    int beeps = 0;
    int pauseRounds = 0;
    std::vector<engine::Page> pages;
    std::vector<std::string> titles;

private:
    std::map<engine::YieldPoint, int> counts_;
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakePending_ = false;
};

} // namespace testing_support
