#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace ui {

QtCzechTranslation::QtCzechTranslation()
{
    loaded_ = translator_.load(QLocale(QLocale::Czech, QLocale::CzechRepublic), QStringLiteral("qtbase"),
                               QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded_)
        QCoreApplication::installTranslator(&translator_);
}

QtCzechTranslation::~QtCzechTranslation()
{
    if (loaded_)
        QCoreApplication::removeTranslator(&translator_);
}

} // namespace ui
