#include "platform/wake_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

using platform::StopSignals;
using platform::WakeEvent;

namespace {

using Clock = std::chrono::steady_clock;

TEST(WakeEvent, wakes_before_the_wait_are_kept_as_one_and_taken_by_it)
{
    StopSignals signals;
    WakeEvent event;
    event.wake();
    event.wake();
    auto woken = event.waitFor(5000, signals);
    EXPECT_TRUE(woken.wake);
    EXPECT_FALSE(woken.signal);
    // Taken: the next wait runs out its time.
    woken = event.waitFor(10, signals);
    EXPECT_FALSE(woken.wake);
    EXPECT_FALSE(woken.signal);
}

TEST(WakeEvent, another_thread_ends_a_wait_without_limit)
{
    StopSignals signals;
    WakeEvent event;
    auto start = Clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        event.wake();
    });
    auto woken = event.waitFor(-1, signals);
    waker.join();
    EXPECT_TRUE(woken.wake);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
}

TEST(WakeEvent, a_pending_stop_signal_ends_the_wait_and_stays_for_its_owner)
{
    StopSignals signals;
    WakeEvent event;
    ASSERT_EQ(::raise(SIGTERM), 0); // blocked in this thread while signals lives
    auto woken = event.waitFor(5000, signals);
    EXPECT_TRUE(woken.signal);
    EXPECT_FALSE(woken.wake);
    EXPECT_EQ(signals.take(), 1);
    EXPECT_FALSE(event.waitFor(0, signals).signal);
}

} // namespace
