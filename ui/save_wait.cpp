#include "ui/save_wait.h"

#include "engine/blocking_probe.h"
#include "ui/dirselec_texts.h"
#include "ui/vorkan_f_texts.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

namespace ui {

namespace {

constexpr std::chrono::milliseconds kLookAgain{10};

// Runs the window's events until the call has answered, the user gave it up (givenUp) or
// quit() ends the loop.
void runUntilAnswered(
    QEventLoop& loop, const engine::BlockingProbe& call, QEventLoop::ProcessEventsFlags flags,
    const std::function<bool()>& givenUp = [] { return false; })
{
    QTimer look;
    look.setInterval(kLookAgain);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (call.answer() || givenUp())
            loop.quit();
    });
    look.start();
    if (!call.answer())
        loop.exec(flags);
}

} // namespace

std::optional<bool> waitForSave(QWidget* parent, const QString& path, std::function<bool()> call)
{
    // On a thread of its own, left behind when given up; it wakes nobody, the loops look.
    engine::BlockingProbe save(std::move(call), [] {});

    // First without user input, as a short save looks to the user: nothing is clicked twice.
    QEventLoop quiet;
    QTimer::singleShot(kSaveWaitShownAfter, &quiet, &QEventLoop::quit);
    runUntilAnswered(quiet, save, QEventLoop::ExcludeUserInputEvents);
    if (auto value = save.answer())
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
    runUntilAnswered(shown, save, QEventLoop::AllEvents, gaveUp);
    if (auto value = save.answer(); value && !dialog.wasCanceled())
        return value;
    return std::nullopt;
}

} // namespace ui
