// Opening a drive's device for a surface scan: a driver that holds the open (a dying drive
// retrying) must not hold the window.
#include "engine/device_scan.h"
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using engine::RunOutcome;
using engine::YieldPoint;

namespace {

// What the open of a scan does, shared with the test: it waits until let go (at most a few
// seconds, so that a run that waits for it ends all the same) and then answers refusal.
struct HeldOpen {
    std::mutex mutex;
    std::condition_variable changed;
    bool letGo = false;
    std::atomic<bool> opening{false};
    std::string refusal;

    std::string open()
    {
        opening = true;
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(3), [&] { return letGo; });
        opening = false;
        return refusal;
    }
    void release()
    {
        std::lock_guard lock(mutex);
        letGo = true;
        changed.notify_all();
    }
};

class ScanWithHeldOpen final : public engine::DeviceScan {
public:
    explicit ScanWithHeldOpen(std::shared_ptr<HeldOpen> held) : held_(std::move(held)) {}
    std::string open(const std::string&) override { return held_->open(); }
    std::int64_t size() const override { return 0; }
    void startReading(std::function<void()>) override {}
    bool readingEnded() const override { return true; }
    std::int64_t position() const override { return 0; }
    std::int64_t bytesRead() const override { return 0; }
    std::int64_t bytesSettled() const override { return 0; }
    void startMapping(std::function<void()>) override {}
    bool mappingEnded() const override { return true; }
    void pause(bool) override {}
    void stop() override {}
    engine::DeviceScanFindings findings() const override { return {}; }

private:
    std::shared_ptr<HeldOpen> held_;
};

class SurfaceOpen : public testing_support::EngineFixture {
protected:
    void SetUp() override
    {
        engine.setDeviceScans([held = held_] { return std::make_unique<ScanWithHeldOpen>(held); });
    }
    void TearDown() override { held_->release(); }
    void scanDriveD()
    {
        engine::TestSettings s;
        s.object = engine::TestObject::Jednotka;
        s.JednE = "d";
        s.CelyPovrch = true;
        engine.StartBtnClick(s);
    }
    // The host's events run while the device is being opened; the open wakes nobody, so the
    // host is nudged to look at its events now and then.
    template <class Body>
    void nudged(Body body)
    {
        std::atomic<bool> done{false};
        std::thread nudge([&] {
            while (!done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                host.wake();
            }
        });
        body();
        done = true;
        nudge.join();
    }
    std::shared_ptr<HeldOpen> held_ = std::make_shared<HeldOpen>();
};

} // namespace

TEST_F(SurfaceOpen, the_window_runs_its_events_while_the_device_opens_and_then_shows_the_refusal)
{
    held_->refusal = "the device refuses";
    int yieldsWhileOpening = 0;
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::Validating && held_->opening && ++yieldsWhileOpening == 3)
            held_->release();
    };
    nudged([&] { scanDriveD(); });
    EXPECT_GE(yieldsWhileOpening, 3);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Refused);
    ASSERT_FALSE(port.shown.empty());
    EXPECT_EQ(port.shown.back().text, "the device refuses");
}

TEST_F(SurfaceOpen, a_stop_while_the_device_does_not_open_ends_the_run_at_once)
{
    host.onYield = [&](YieldPoint where) {
        if (where == YieldPoint::Validating && held_->opening)
            engine.stopConfirmed();
    };
    auto began = std::chrono::steady_clock::now();
    nudged([&] { scanDriveD(); });
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_TRUE(held_->opening); // left behind, still waiting in its open
    EXPECT_TRUE(engine.readStillBlocked());
}
