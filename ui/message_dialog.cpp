#include "ui/message_dialog.h"

#include "ui/app_title.h"
#include "ui/message_dialog_texts.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace ui {

namespace {

using common::DialogKind;
using common::DialogResult;

QStyle::StandardPixmap iconOf(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Error: return QStyle::SP_MessageBoxCritical;
    case DialogKind::Information: return QStyle::SP_MessageBoxInformation;
    case DialogKind::Question: return QStyle::SP_MessageBoxQuestion;
    }
    return QStyle::SP_MessageBoxInformation;
}

// Messages keep the line breaks of the system they come from (LF CR, CR LF): one break each.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

int screenWidth(const QWidget* widget)
{
    const QScreen* screen = widget->screen() != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry().width() : 1024;
}

QLabel* messageLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("Message"));
    label->setTextFormat(Qt::PlainText); // paths may hold '<' and '&'
    label->setText(text);
    const int limit = screenWidth(parent) / 2;
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest > limit) {
        label->setWordWrap(true);
        label->setFixedWidth(limit);
    }
    return label;
}

} // namespace

MessageDialog::MessageDialog(DialogKind kind, const QString& text, const QString& caption, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("MessageDialog"));
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Icon"));
    icon->setPixmap(style()->standardIcon(iconOf(kind), nullptr, this).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* message = new QHBoxLayout;
    message->setSpacing(12);
    message->addWidget(icon, 0, Qt::AlignTop);
    message->addWidget(messageLabel(displayText(text), this), 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    if (kind == DialogKind::Question) {
        yes_ = addButton(texts::kMsgAno, DialogResult::Yes);
        no_ = addButton(texts::kMsgNe, DialogResult::No);
        buttons->addWidget(yes_);
        buttons->addWidget(no_);
    } else {
        ok_ = addButton(texts::kMsgOK, DialogResult::Ok);
        buttons->addWidget(ok_);
    }
    buttons->addStretch();
    equaliseButtons();
    (ok_ != nullptr ? ok_ : yes_)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->setSpacing(14);
    layout->addLayout(message);
    layout->addLayout(buttons);
}

QPushButton* MessageDialog::addButton(const char* caption, DialogResult result)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(result == DialogResult::Ok
                              ? QStringLiteral("OK")
                              : (result == DialogResult::Yes ? QStringLiteral("Yes") : QStringLiteral("No")));
    connect(button, &QPushButton::clicked, this, [this, result] { done(static_cast<int>(result) + 1); });
    return button;
}

// All buttons as wide as the widest caption and at least 50 dialog units (a dialog unit is a
// quarter of the average character width).
void MessageDialog::equaliseButtons()
{
    int width = fontMetrics().averageCharWidth() * 50 / 4;
    for (QPushButton* b : {ok_, yes_, no_}) {
        if (b != nullptr)
            width = std::max(width, b->sizeHint().width());
    }
    for (QPushButton* b : {ok_, yes_, no_}) {
        if (b != nullptr)
            b->setFixedWidth(width);
    }
}

QPushButton* MessageDialog::button(DialogResult which) const
{
    switch (which) {
    case DialogResult::Ok: return ok_;
    case DialogResult::Yes: return yes_;
    case DialogResult::No: return no_;
    case DialogResult::Cancel: break;
    }
    return nullptr;
}

DialogResult MessageDialog::answer() const
{
    // done() stores the result + 1; the close box and reject() leave 0.
    const int code = result();
    return code == 0 ? DialogResult::Cancel : static_cast<DialogResult>(code - 1);
}

void MessageDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc answers No where there is one, else OK; only the close box cancels.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        (no_ != nullptr ? no_ : ok_)->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

DialogResult QtMessagePort::show(DialogKind kind, const std::string& text)
{
    MessageDialog dialog(kind, QString::fromStdString(text), title_.text(), QApplication::activeWindow());
    dialog.adjustSize();
    if (const QScreen* screen = dialog.screen())
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    dialog.exec();
    return dialog.answer();
}

void QtMessagePort::beep()
{
    QApplication::beep();
}

} // namespace ui
