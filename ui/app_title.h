#pragma once
#include <QObject>
#include <QString>

namespace ui {

// The application title: one value for the whole program, shown by the task bar (as the
// main window's icon text) and used as the caption of every message dialog. It is not
// QGuiApplication::applicationDisplayName, which Qt appends to every window caption on X11.
class AppTitle final : public QObject {
    Q_OBJECT
public:
    const QString& text() const { return text_; }
    void set(const QString& text);

signals:
    void changed(const QString& text);

private:
    QString text_;
};

} // namespace ui
