#pragma once
#include "common/message_port.h"

#include <QDialog>

class QPushButton;

namespace ui {

class AppTitle;

// The program's message dialog: an icon by kind, the word-wrapped message and a centred row
// of equally wide buttons "&OK" or "&Ano" / "&Ne".
class MessageDialog final : public QDialog {
    Q_OBJECT
public:
    MessageDialog(common::DialogKind kind, const QString& text, const QString& caption, QWidget* parent = nullptr);

    // The button pressed; Cancel when the dialog was closed otherwise.
    common::DialogResult answer() const;
    QPushButton* button(common::DialogResult which) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* addButton(const char* caption, common::DialogResult result);
    void equaliseButtons();

    QPushButton* ok_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
};

// The message port of the GUI: every message and question becomes a modal MessageDialog
// whose caption is the application title of the moment it opens.
class QtMessagePort final : public common::MessagePort {
public:
    explicit QtMessagePort(const AppTitle& title) : title_(title) {}
    common::DialogResult show(common::DialogKind kind, const std::string& text) override;
    void beep() override;

private:
    const AppTitle& title_;
};

} // namespace ui
