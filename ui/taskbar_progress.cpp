#include "ui/taskbar_progress.h"

#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>

namespace ui {

namespace {

// The menu entry the signal belongs to; a task manager matches it with the window of the
// program it started (QGuiApplication::desktopFileName).
const QString kAppUri = QStringLiteral("application://example.pelun.Vorkan.desktop");
const QString kObjectPath = QStringLiteral("/example/pelun/Vorkan/LauncherEntry");
const QString kInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");
const QString kUpdate = QStringLiteral("Update");

// Connections are named per process; two objects alive at once differ in address.
QString connectionName(const void* self)
{
    return QStringLiteral("vorkan-taskbar-%1").arg(reinterpret_cast<quintptr>(self), 0, 16);
}

} // namespace

TaskbarProgress::TaskbarProgress()
    : name_(connectionName(this)), bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_))
{}

TaskbarProgress::~TaskbarProgress()
{
    hide();
    if (sent_) {
        // Messages are sent from a thread of Qt's; one still queued when the program ends
        // is lost, and the task bar would go on showing a run that is over. A call to the
        // bus returns only after everything sent before it has gone out.
        const QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        bus_.call(ping, QDBus::Block, 2000);
    }
    QDBusConnection::disconnectFromBus(name_);
}

void TaskbarProgress::show(double fraction)
{
    visible_ = true;
    send({{QStringLiteral("progress"), std::clamp(fraction, 0.0, 1.0)}, {QStringLiteral("progress-visible"), true}});
}

void TaskbarProgress::hide()
{
    if (!visible_)
        return;
    visible_ = false;
    send({{QStringLiteral("progress-visible"), false}});
}

void TaskbarProgress::send(const QVariantMap& properties)
{
    if (!bus_.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(kObjectPath, kInterface, kUpdate);
    update << kAppUri << properties;
    sent_ = bus_.send(update) || sent_;
}

} // namespace ui
