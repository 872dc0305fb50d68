#pragma once
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

namespace ui {

// How long a save may take before the program says it is saving and lets the user give up.
inline constexpr std::chrono::milliseconds kSaveWaitShownAfter{500};

// Runs call on a thread of its own while the window's events go on, so that a save to a
// medium that does not answer never freezes the window. User input waits meanwhile; after
// kSaveWaitShownAfter a dialog that blocks every window says what is being saved and offers
// "Storno", which gives the call up: it is left behind and its answer goes nowhere.
// Nothing when given up.
std::optional<bool> waitForSave(QWidget* parent, const QString& path, std::function<bool()> call);

// The engine's way of waiting for a save of path, through waitForSave.
inline std::function<std::optional<bool>(std::function<bool()>)> savingFrom(QWidget* parent, const QString& path)
{
    return [parent, path](std::function<bool()> call) { return waitForSave(parent, path, std::move(call)); };
}

} // namespace ui
