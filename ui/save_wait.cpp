#include "ui/save_wait.h"

#include "ui/dirselec_texts.h"
#include "ui/vorkan_f_texts.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <functional>

#include <memory>
#include <mutex>
#include <thread>

namespace ui {

namespace {

constexpr std::chrono::milliseconds kLookAgain{10};

// What the call's thread and the window share; the thread may outlive the window.
struct Answer {
    std::mutex mutex;
    std::optional<bool> value;
    std::optional<bool> get()
    {
        std::lock_guard lock(mutex);
        return value;
    }
};

// Runs the window's events until the call has answered, the user gave it up (givenUp) or
// quit() ends the loop.
void runUntilAnswered(
    QEventLoop& loop, Answer& answer, QEventLoop::ProcessEventsFlags flags,
    const std::function<bool()>& givenUp = [] { return false; })
{
    QTimer look;
    look.setInterval(kLookAgain);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (answer.get() || givenUp())
            loop.quit();
    });
    look.start();
    if (!answer.get())
        loop.exec(flags);
}

} // namespace

std::optional<bool> waitForSave(QWidget* parent, const QString& path, std::function<bool()> call)
{
    auto answer = std::make_shared<Answer>();
    std::thread([answer, call = std::move(call)] {
        bool value = false;
        try {
            value = call();
        } catch (...) {
            value = false; // a save that cannot be made is a failed one
        }
        std::lock_guard lock(answer->mutex);
        answer->value = value;
    }).detach();

    // First without user input, as a short save looks to the user: nothing is clicked twice.
    QEventLoop quiet;
    QTimer::singleShot(kSaveWaitShownAfter, &quiet, &QEventLoop::quit);
    runUntilAnswered(quiet, *answer, QEventLoop::ExcludeUserInputEvents);
    if (auto value = answer->get())
        return value;

    QProgressDialog dialog(QString::fromUtf8(texts::kUkladaSe) + path, QString::fromUtf8(texts::kStorno), 0, 0, parent);
    dialog.setObjectName(QStringLiteral("SaveWaitDialog"));
    dialog.setWindowTitle(QString::fromUtf8(texts::kUkladani));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QEventLoop shown;
    QObject::connect(&dialog, &QProgressDialog::canceled, &shown, &QEventLoop::quit);
    dialog.show();
    // Storno, Escape or the window's close button.
    auto gaveUp = [&dialog] { return dialog.wasCanceled() || !dialog.isVisible(); };
    runUntilAnswered(shown, *answer, QEventLoop::AllEvents, gaveUp);
    if (auto value = answer->get(); value && !dialog.wasCanceled())
        return value;
    return std::nullopt;
}

} // namespace ui
