#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform {

// Asks each question on a thread of its own and waits for the answers until bound has
// passed: a filesystem that does not answer (a stalled FUSE server, a dead NFS share, a
// dying drive) costs the caller bound at most, never its own time. A question still under
// way then is left behind and its answer, when it comes, goes nowhere.
template <class T>
std::vector<std::optional<T>> askAllWithin(std::vector<std::function<T()>> questions, std::chrono::milliseconds bound)
{
    struct Shared {
        std::mutex mutex;
        std::condition_variable answered;
        std::vector<std::optional<T>> answers;
        std::size_t left = 0;
    };
    auto shared = std::make_shared<Shared>();
    shared->answers.resize(questions.size());
    shared->left = questions.size();
    for (std::size_t i = 0; i < questions.size(); ++i) {
        std::thread([shared, i, question = std::move(questions[i])] {
            T answer = question();
            std::lock_guard lock(shared->mutex);
            shared->answers[i] = std::move(answer);
            --shared->left;
            shared->answered.notify_all();
        }).detach();
    }
    std::unique_lock lock(shared->mutex);
    shared->answered.wait_for(lock, bound, [&] { return shared->left == 0; });
    return shared->answers;
}

template <class T>
std::optional<T> askWithin(std::function<T()> question, std::chrono::milliseconds bound)
{
    std::vector<std::function<T()>> one;
    one.push_back(std::move(question));
    return askAllWithin(std::move(one), bound).front();
}

} // namespace platform
