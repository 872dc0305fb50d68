#include "ui/elided.h"
#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kLongPath = QStringLiteral("/media/cdrom/Zálohy/2026/prosinec/velmi dlouhý název adresáře/soubor.dat");

TEST(ElidedLabel, shows_a_long_path_shortened_in_the_middle_and_keeps_its_text_whole)
{
    ui::ElidedLabel label;
    label.resize(200, 13);
    label.setText(kLongPath);
    const QString shown = label.shownText();
    EXPECT_EQ(label.text(), kLongPath);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/media/"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("soubor.dat"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(label.fontMetrics().horizontalAdvance(shown), 200);

    label.resize(2000, 13);
    EXPECT_EQ(label.shownText(), kLongPath) << "a path that fits is shown whole";
}

TEST(ElidedComboBox, shows_the_current_entry_shortened_in_the_middle)
{
    ui::ElidedComboBox combo;
    combo.resize(97, 19);
    combo.addItem(QStringLiteral("d: [ZÁLOHA] ") + kLongPath);
    const QString shown = combo.shownText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("d:"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("dat"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_EQ(combo.currentText(), QStringLiteral("d: [ZÁLOHA] ") + kLongPath);
}

TEST(QtCzechTranslation, puts_qts_own_texts_into_czech_while_it_lives)
{
    const QString undo = QStringLiteral("&Undo");
    {
        const ui::QtCzechTranslation czech;
        ASSERT_TRUE(czech.loaded()) << "qt6-translations-l10n is not installed";
        EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Zpět"));
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Hledat v:"));
    }
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), undo);
}

} // namespace
