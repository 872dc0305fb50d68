#include "ui/directory_list.h"

#include "platform/filesystem.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <chrono>

namespace ui {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString childPath(const QString& directory, const QString& name)
{
    return directory.endsWith(QLatin1Char('/')) ? directory + name : directory + QLatin1Char('/') + name;
}

// By name, letter case aside, as a file chooser sorts.
QStringList subdirectoriesOf(platform::PathLooks& looks, const QString& directory)
{
    QStringList names;
    for (const std::string& name : looks.listSubdirectories(QFile::encodeName(directory).toStdString()).names)
        names.push_back(QFile::decodeName(QByteArray::fromStdString(name)));
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    return names;
}

QTreeWidgetItem* addRow(QTreeWidget& tree, QTreeWidgetItem* parent, const QString& name, const QString& path, bool open)
{
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
    item->setText(0, name);
    item->setData(0, kPathRole, path);
    item->setIcon(0,
                  tree.style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon, nullptr, &tree));
    return item;
}

} // namespace

DirectoryList::DirectoryList(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setIndentation(10);
    setIconSize(QSize(16, 16));
    // The rows show the path as indented folders; there is nothing to fold.
    setStyleSheet(
        QStringLiteral("QTreeView::item { height: 16px; } QTreeView::branch { image: none; border-image: none; }"));
    connect(this, &QTreeWidget::itemActivated, this, &DirectoryList::openRow);
}

void DirectoryList::openRow(QTreeWidgetItem* item)
{
    if (item != nullptr)
        setDirectory(item->data(0, kPathRole).toString());
}

// The view lets Enter on to the dialog, whose default button would take the directory and
// close it; here Enter opens the row, so a keyboard user can go down the tree.
void DirectoryList::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        openRow(currentItem());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DirectoryList::setDirectory(const QString& path)
{
    const QString absolute = QDir::isAbsolutePath(path)
        ? path
        : QString::fromStdString(platform::currentDirectory()) + QLatin1Char('/') + path;
    QString clean = QDir::cleanPath(absolute);
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
    for (const QString& name : subdirectoriesOf(looks_, directory_))
        addRow(*this, current, name, childPath(directory_, name), false);
    expandAll();
    setCurrentItem(current);
    scrollToItem(current);
}

} // namespace ui
