#pragma once
#include "platform/path_looks.h"

#include <QTreeWidget>

#include <chrono>

namespace ui {

// A directory on a mount that does not answer (a dead share, a dying drive) shows without its
// subdirectories after this long rather than holding the window; the chooser waits as long
// to enter or check one.
inline constexpr std::chrono::milliseconds kListingBound{1500};

// A directory list: the path of the current directory from the root down, as open folders,
// then its subdirectories. Double-click or Enter on a row makes that directory current.
class DirectoryList final : public QTreeWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent = nullptr);

    const QString& directory() const { return directory_; }
    // Shows path; emits changed() when that is another directory than before.
    void setDirectory(const QString& path);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openRow(QTreeWidgetItem* item);
    void rebuild();

    QString directory_;
    platform::PathLooks looks_{kListingBound};
};

} // namespace ui
