#pragma once
#include <QDBusConnection>
#include <QString>

namespace ui {

// A run's progress on the program's task-bar button. Task managers and docks of today's
// desktops (KDE Plasma, the docks of GNOME and others) show it from the launcher-entry
// signal of the session bus; the window's icon text, which carries the same percentage,
// is shown by few of them. Without a session bus nothing is sent and nothing is said.
class TaskbarProgress final {
public:
    // The bus is the session bus at the time of construction; the name keeps this
    // connection apart from any other the program makes.
    TaskbarProgress();
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // Shows the fraction done, 0 to 1 (clamped).
    void show(double fraction);
    // Hides the progress again; nothing is sent when none is shown.
    void hide();

    bool connected() const { return bus_.isConnected(); }

private:
    void send(const QVariantMap& properties);

    QString name_;
    QDBusConnection bus_;
    bool visible_ = false;
    bool sent_ = false;
};

} // namespace ui
