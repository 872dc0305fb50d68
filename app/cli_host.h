#pragma once
#include "engine/host.h"
#include "platform/stop_signals.h"
#include "platform/wake_event.h"

#include <chrono>
#include <functional>

namespace engine {
class VorkanEngine;
}

namespace app {

// Hosts a test run in a terminal program: the two timers run on a steady clock checked at
// every yield, waiting blocks until the reader thread wakes it, a timer is due or a stop signal
// arrives, and SIGINT or SIGTERM stops the run as a confirmed Stop question would; a second
// one more than a second later ends the program at once.
class CliHost final : public engine::EngineHost {
public:
    CliHost();
    ~CliHost() override;
    CliHost(const CliHost&) = delete;
    CliHost& operator=(const CliHost&) = delete;

    void attach(engine::VorkanEngine& engine) { engine_ = &engine; }
    // Called after every main-timer tick (for a status line).
    void onMainTick(std::function<void()> callback) { onMainTick_ = std::move(callback); }
    bool stopSignalled() const { return stopSignalled_; }

    void processEvents(engine::YieldPoint where) override;
    void waitForEvents(engine::YieldPoint where) override;
    void wake() override;
    void startMainTimer() override { start(main_); }
    void stopMainTimer() override { main_.active = false; }
    bool mainTimerActive() const override { return main_.active; }
    void startSoubTimer() override { start(soub_); }
    void stopSoubTimer() override { soub_.active = false; }
    void showPage(engine::Page) override {}
    void setTitle(const std::string&) override {}
    void viewChanged() override {}
    void beep() override {}

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds interval;
        bool active = false;
        Clock::time_point due{};
    };

    static void start(Timer& t);
    void checkSignals();
    void runDueTimers();
    int millisecondsToNextTimer() const;

    engine::VorkanEngine* engine_ = nullptr;
    platform::StopSignals signals_;
    platform::WakeEvent wakeEvent_;
    Timer main_{std::chrono::milliseconds(1000)};
    Timer soub_{std::chrono::milliseconds(100)};
    Clock::time_point nextSignalCheck_{};
    Clock::time_point firstStop_{};
    bool stopSignalled_ = false;
    bool inTick_ = false;
    std::function<void()> onMainTick_;
};

} // namespace app
