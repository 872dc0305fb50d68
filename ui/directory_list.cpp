#include "ui/directory_list.h"

#include <QDir>
#include <QHeaderView>
#include <QStyle>

namespace ui {

namespace {

constexpr int kPathRole = Qt::UserRole;

QTreeWidgetItem* addRow(QTreeWidget& tree, QTreeWidgetItem* parent, const QString& name, const QString& path, bool open)
{
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
    item->setText(0, name);
    item->setData(0, kPathRole, path);
    item->setIcon(0, tree.style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon, nullptr, &tree));
    return item;
}

} // namespace

DirectoryList::DirectoryList(QWidget* parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setIndentation(10);
    setIconSize(QSize(16, 16));
    // The rows show the path as indented folders; there is nothing to fold.
    setStyleSheet(QStringLiteral("QTreeView::item { height: 16px; } QTreeView::branch { image: none; border-image: none; }"));
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr)
            setDirectory(item->data(0, kPathRole).toString());
    });
}

void DirectoryList::setDirectory(const QString& path)
{
    QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (clean == directory_)
        return;
    directory_ = clean;
    rebuild();
    emit changed();
}

void DirectoryList::rebuild()
{
    clear();
    QTreeWidgetItem* row = addRow(*this, nullptr, QStringLiteral("/"), QStringLiteral("/"), true);
    QString path;
    for (const QString& part : directory_.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        row = addRow(*this, row, part, path, true);
    }
    QTreeWidgetItem* current = row;
    const QDir dir(directory_);
    const auto names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        addRow(*this, current, name, dir.filePath(name), false);
    expandAll();
    setCurrentItem(current);
    scrollToItem(current);
}

} // namespace ui
