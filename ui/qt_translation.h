#pragma once
#include <QTranslator>

namespace ui {

// Qt's own texts (file dialogs, the edit boxes' context menu, standard buttons) in Czech,
// as the rest of the program, whatever the user's locale. Installed for the life of the
// object.
class QtCzechTranslation {
public:
    QtCzechTranslation();
    ~QtCzechTranslation();
    QtCzechTranslation(const QtCzechTranslation&) = delete;
    QtCzechTranslation& operator=(const QtCzechTranslation&) = delete;

    // False when Qt's translations are not installed; Qt's texts then stay English.
    bool loaded() const { return loaded_; }

private:
    QTranslator translator_;
    bool loaded_ = false;
};

} // namespace ui
