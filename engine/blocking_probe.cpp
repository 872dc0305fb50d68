#include "engine/blocking_probe.h"

#include <exception>
#include <mutex>
#include <thread>

namespace engine {

struct BlockingProbe::State {
    std::mutex mutex;
    std::function<void()> wake;
    std::optional<bool> answer;
    bool awaited = false;
    bool abandoned = false;
};

BlockingProbe::BlockingProbe(std::function<bool()> question, std::function<void()> wake)
    : state_(std::make_shared<State>())
{
    state_->wake = std::move(wake);
    std::thread([state = state_, question = std::move(question)] {
        bool yes = false;
        try {
            yes = question();
        } catch (const std::exception&) {
            yes = false; // a question that cannot be asked is answered no
        }
        std::lock_guard lock(state->mutex);
        state->answer = yes;
        // Under the lock: an abandoned probe's owner may be gone.
        if (state->awaited && !state->abandoned)
            state->wake();
    }).detach();
}

BlockingProbe::~BlockingProbe()
{
    std::lock_guard lock(state_->mutex);
    state_->abandoned = true;
}

std::optional<bool> BlockingProbe::answer() const
{
    std::lock_guard lock(state_->mutex);
    return state_->answer;
}

bool BlockingProbe::prepareToSleep()
{
    std::lock_guard lock(state_->mutex);
    if (state_->answer)
        return true;
    state_->awaited = true;
    return false;
}

std::function<bool()> BlockingProbe::stillAsking() const
{
    return [state = state_] {
        std::lock_guard lock(state->mutex);
        return !state->answer.has_value();
    };
}

} // namespace engine
