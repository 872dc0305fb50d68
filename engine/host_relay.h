#pragma once
#include "engine/host.h"

#include <atomic>

namespace engine {

// Stands in for a host that is created after the engine: the program initialises the engine
// as a module before any window exists, and the main window, which hosts its runs, comes
// later. Until a target is attached the relay does nothing (no run can start before then).
class HostRelay final : public EngineHost {
public:
    void attach(EngineHost* target) { target_.store(target); }

    void processEvents(YieldPoint where) override
    {
        if (auto* t = target_.load())
            t->processEvents(where);
    }
    void waitForEvents(YieldPoint where) override
    {
        if (auto* t = target_.load())
            t->waitForEvents(where);
    }
    // Called from the reader thread; the target is attached before any run and detached only
    // after the last one, so the pointer it reads stays valid.
    void wake() override
    {
        if (auto* t = target_.load())
            t->wake();
    }
    void startMainTimer() override
    {
        if (auto* t = target_.load())
            t->startMainTimer();
    }
    void stopMainTimer() override
    {
        if (auto* t = target_.load())
            t->stopMainTimer();
    }
    bool mainTimerActive() const override
    {
        auto* t = target_.load();
        return t != nullptr && t->mainTimerActive();
    }
    void startSoubTimer() override
    {
        if (auto* t = target_.load())
            t->startSoubTimer();
    }
    void stopSoubTimer() override
    {
        if (auto* t = target_.load())
            t->stopSoubTimer();
    }
    void showPage(Page page) override
    {
        if (auto* t = target_.load())
            t->showPage(page);
    }
    void setTitle(const std::string& title) override
    {
        if (auto* t = target_.load())
            t->setTitle(title);
    }
    void viewChanged() override
    {
        if (auto* t = target_.load())
            t->viewChanged();
    }
    void beep() override
    {
        if (auto* t = target_.load())
            t->beep();
    }

private:
    std::atomic<EngineHost*> target_{nullptr};
};

} // namespace engine
