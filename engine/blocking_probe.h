#pragma once
#include <functional>
#include <memory>
#include <optional>

namespace engine {

// Runs one question to the filesystem (does the object exist, can it be listed) on a thread
// of its own. On a failing medium a stat or a listing may hang in the kernel for minutes; the
// thread that runs the engine and the window must stay free meanwhile, and free to give up.
//
// The question is left behind when the probe goes before it was answered: it ends when the
// kernel lets it, and its answer wakes nobody any more.
class BlockingProbe {
public:
    // wake is called on the probe's thread when the answer comes after prepareToSleep().
    BlockingProbe(std::function<bool()> question, std::function<void()> wake);
    ~BlockingProbe();
    BlockingProbe(const BlockingProbe&) = delete;
    BlockingProbe& operator=(const BlockingProbe&) = delete;

    // The answer, once it has come.
    std::optional<bool> answer() const;
    // Asks to be woken when the answer comes; true when it is there already.
    bool prepareToSleep();
    // Tells, also after the probe has gone, whether its question still blocks.
    std::function<bool()> stillAsking() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace engine
