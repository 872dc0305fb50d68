#include "tests/ui/gui_fixture.h"

#include "ui/app_title.h"
#include "ui/message_dialog.h"

#include <QLabel>
#include <QPushButton>

namespace gui_test {
namespace {

using common::DialogKind;
using common::DialogResult;

TEST(MessageDialog, a_question_has_equal_yes_and_no_buttons_with_yes_as_default)
{
    ui::MessageDialog dialog(DialogKind::Question, QStringLiteral("Opravdu?"), QStringLiteral("Vorkan v1.20"));
    QPushButton* yes = dialog.button(DialogResult::Yes);
    QPushButton* no = dialog.button(DialogResult::No);
    ASSERT_NE(yes, nullptr);
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(dialog.button(DialogResult::Ok), nullptr);
    EXPECT_EQ(yes->text(), QStringLiteral("&Ano"));
    EXPECT_EQ(no->text(), QStringLiteral("&Ne"));
    EXPECT_EQ(yes->width(), no->width());
    EXPECT_GE(yes->width(), dialog.fontMetrics().averageCharWidth() * 50 / 4);
    EXPECT_TRUE(yes->isDefault());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Vorkan v1.20"));
}

// Shows a dialog through the port, acts on it and returns the answer.
DialogResult answer(DialogKind kind, const std::function<void(ui::MessageDialog*)>& act, QString* caption = nullptr)
{
    ui::AppTitle title;
    title.set(QStringLiteral("Hotovo: 50 % - Vorkan v1.20"));
    ui::QtMessagePort port(title);
    whenModal<ui::MessageDialog>([&](ui::MessageDialog* d) {
        if (caption != nullptr)
            *caption = d->windowTitle();
        act(d);
    });
    return port.show(kind, "Zpráva <b>&x</b>");
}

TEST(MessageDialog, esc_answers_no_or_ok_and_only_the_close_box_cancels)
{
    auto esc = [](ui::MessageDialog* d) { QTest::keyClick(d, Qt::Key_Escape); };
    auto enter = [](ui::MessageDialog* d) { QTest::keyClick(d, Qt::Key_Return); };
    auto closeBox = [](ui::MessageDialog* d) { d->close(); };
    EXPECT_EQ(answer(DialogKind::Question, esc), DialogResult::No);
    EXPECT_EQ(answer(DialogKind::Question, enter), DialogResult::Yes);
    EXPECT_EQ(answer(DialogKind::Question, closeBox), DialogResult::Cancel);
    EXPECT_EQ(answer(DialogKind::Error, esc), DialogResult::Ok);
    EXPECT_EQ(answer(DialogKind::Information, closeBox), DialogResult::Cancel);
    EXPECT_EQ(
        answer(DialogKind::Question, [](ui::MessageDialog* d) { QTest::keyClick(d, Qt::Key_N, Qt::AltModifier); }),
        DialogResult::No);
}

TEST(MessageDialog, takes_the_application_title_as_caption_and_shows_the_text_as_plain_text)
{
    QString caption;
    QString shown;
    answer(
        DialogKind::Error,
        [&](ui::MessageDialog* d) {
            shown = d->findChild<QLabel*>(QStringLiteral("Message"))->text();
            d->button(DialogResult::Ok)->click();
        },
        &caption);
    EXPECT_EQ(caption, QStringLiteral("Hotovo: 50 % - Vorkan v1.20"));
    EXPECT_EQ(shown, QStringLiteral("Zpráva <b>&x</b>"));
}

TEST(MessageDialog, wraps_a_long_message_at_half_the_screen_and_keeps_line_breaks)
{
    const QString longText = QString(QStringLiteral("slovo ")).repeated(200);
    ui::MessageDialog wide(DialogKind::Error, longText, QString());
    auto* label = wide.findChild<QLabel*>(QStringLiteral("Message"));
    EXPECT_TRUE(label->wordWrap());
    EXPECT_LE(label->width(), wide.screen()->availableGeometry().width() / 2);

    ui::MessageDialog breaks(DialogKind::Error, QStringLiteral("V adresáři \n\r/x\n\rnejsou"), QString());
    EXPECT_EQ(breaks.findChild<QLabel*>(QStringLiteral("Message"))->text(), QStringLiteral("V adresáři \n/x\nnejsou"));
}

} // namespace
} // namespace gui_test
