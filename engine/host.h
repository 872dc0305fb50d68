#pragma once
#include <string>

namespace engine {

// The pages of the main window.
enum class Page { Test = 0, VysledekTestu = 1, NastaveniTestu = 2, SeznamChyb = 3 };

// The places at which a run lets the host's pending events run. Hosts may ignore them;
// tests script what happens at each.
enum class YieldPoint {
    Validating,        // the object is looked at on a thread of its own, which may hang
    BeforeEnumeration, // after the Test page was prepared
    Directory,         // start of each directory counted
    AfterEnumeration,  // events that queued up during the counting
    TestDirectory,     // start of each directory read
    BeforeFile,        // start of each file read
    FileShown,         // the file's name is shown, before it is opened
    AfterChunk,        // after each chunk read
    WaitingForRead,    // a read is under way on the reader thread
    TimerTick,         // end of a main-timer tick
    Paused,            // inside the pause loop
};

// What a run needs from the program that hosts it: the window (Qt), the command-line tool
// or a test. The engine calls it only from the thread that runs the engine, except wake().
class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Lets pending events (timer ticks, button presses, repaints) run once and returns.
    virtual void processEvents(YieldPoint where) = 0;
    // Blocks until at least one event is pending or wake() is called, then lets the pending
    // events run. Never spins.
    virtual void waitForEvents(YieldPoint where) = 0;
    // Thread-safe: ends a waitForEvents() that is blocking now or starts next.
    virtual void wake() = 0;

    // The 1000 ms main timer and the 100 ms file timer; every start begins a full interval.
    virtual void startMainTimer() = 0;
    virtual void stopMainTimer() = 0;
    virtual bool mainTimerActive() const = 0;
    virtual void startSoubTimer() = 0;
    virtual void stopSoubTimer() = 0;

    // The visible page changed (the timers have been stopped already).
    virtual void showPage(Page page) = 0;
    // The application title: the task-bar text and the caption of message dialogs.
    virtual void setTitle(const std::string& title) = 0;
    // Texts, gauges or lists of the view have changed.
    virtual void viewChanged() = 0;
    // The system's default beep.
    virtual void beep() = 0;
};

} // namespace engine
