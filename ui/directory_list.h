#pragma once
#include <QTreeWidget>

namespace ui {

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
};

} // namespace ui
