#include "filebrowser/filebrowsertreemodel.h"

#include "filebrowser/filebrowserlog.h"

#include <QSet>
#include <QVector>

#include <algorithm>

namespace {

const QString topPath = QStringLiteral("/");

bool isBelow(const FileBrowserTreeItem *item, const FileBrowserTreeItem *ancestor)
{
    for (const FileBrowserTreeItem *up = item->parent(); up; up = up->parent()) {
        if (up == ancestor)
            return true;
    }
    return false;
}

QVector<int> rowsFromRoot(const FileBrowserTreeItem *item)
{
    QVector<int> rows;
    for (; item->parent(); item = item->parent())
        rows.prepend(item->row());
    return rows;
}

// Pre-order is the lexicographic order of the row chains from the root.
bool precedesInPreOrder(const FileBrowserTreeItem *a, const FileBrowserTreeItem *b)
{
    const QVector<int> rowsA = rowsFromRoot(a);
    const QVector<int> rowsB = rowsFromRoot(b);
    return std::lexicographical_compare(rowsA.begin(), rowsA.end(), rowsB.begin(), rowsB.end());
}

} // namespace

FileBrowserTreeModel::FileBrowserTreeModel(QObject *parent)
    : QAbstractItemModel(parent),
      rootItem(std::make_unique<FileBrowserTreeItem>(QString(), nullptr)),
      openFolderIcon(QStringLiteral(":/graphics/openfolder.png"), "PNG"),
      closedFolderIcon(QStringLiteral(":/graphics/closedfolder.png"), "PNG")
{
    auto top = std::make_unique<FileBrowserTreeItem>(topPath, rootItem.get());
    itemsByPath.insert(topPath, top.get());
    rootItem->appendChild(std::move(top));
}

QModelIndex FileBrowserTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    FileBrowserTreeItem *child = itemFor(parent)->child(row);
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex FileBrowserTreeModel::parent(const QModelIndex &index) const
{
    if (!index.isValid())
        return QModelIndex();
    return indexFor(itemFor(index)->parent());
}

int FileBrowserTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return itemFor(parent)->childCount();
}

int FileBrowserTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

Qt::ItemFlags FileBrowserTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

QVariant FileBrowserTreeModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return tr("Path");
    return QVariant();
}

QVariant FileBrowserTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const FileBrowserTreeItem *item = itemFor(index);
    switch (role) {
    case Qt::DisplayRole:
        return item->visiblePath();
    case Qt::DecorationRole:
        return item->isExpanded() ? openFolderIcon : closedFolderIcon;
    case Qt::UserRole:
        return item->fullPath();
    default:
        return QVariant();
    }
}

FileBrowserTreeItem *FileBrowserTreeModel::findItem(FileBrowserTreeItem *start,
                                                    const QString &path) const
{
    FileBrowserTreeItem *found = nullptr;
    const auto [first, last] = itemsByPath.equal_range(path);
    for (auto it = first; it != last; ++it) {
        FileBrowserTreeItem *candidate = it.value();
        if (isBelow(candidate, start) && (!found || precedesInPreOrder(candidate, found)))
            found = candidate;
    }
    return found;
}

void FileBrowserTreeModel::setDirTree(const QList<QPair<QString, QStringList>> &dirTree)
{
    if (dirTree.isEmpty()) {
        removeTopItemChildren();
        return;
    }
    FileBrowserTreeItem *top = topItem();
    for (const auto &[directory, subdirectories] : dirTree) {
        FileBrowserTreeItem *target = directory == topPath ? top : findItem(top, directory);
        if (!target) {
            qCDebug(lcFileBrowser)
                << "Skipping the listing of" << directory << "until its parent is in the tree";
            continue;
        }
        mergeListing(target, subdirectories);
    }
}

void FileBrowserTreeModel::setExpanded(const QModelIndex &index, bool expanded)
{
    if (!index.isValid())
        return;
    FileBrowserTreeItem *item = itemFor(index);
    if (item->isExpanded() == expanded)
        return;
    item->setExpanded(expanded);
    emit dataChanged(index, index, {Qt::DecorationRole});
}

FileBrowserTreeItem *FileBrowserTreeModel::topItem() const
{
    return rootItem->child(0);
}

FileBrowserTreeItem *FileBrowserTreeModel::itemFor(const QModelIndex &index) const
{
    if (!index.isValid())
        return rootItem.get();
    return static_cast<FileBrowserTreeItem *>(index.internalPointer());
}

QModelIndex FileBrowserTreeModel::indexFor(FileBrowserTreeItem *item) const
{
    if (item == rootItem.get())
        return QModelIndex();
    return createIndex(item->row(), 0, item);
}

void FileBrowserTreeModel::mergeListing(FileBrowserTreeItem *target,
                                        const QStringList &subdirectories)
{
    QStringList newPaths;
    QSet<QString> seen;
    for (const QString &path : subdirectories) {
        if (!findItem(target, path) && !seen.contains(path)) {
            seen.insert(path);
            newPaths.append(path);
        }
    }
    if (newPaths.isEmpty())
        return;

    const int firstRow = target->childCount();
    beginInsertRows(indexFor(target), firstRow, firstRow + int(newPaths.size()) - 1);
    for (const QString &path : newPaths) {
        auto item = std::make_unique<FileBrowserTreeItem>(path, target);
        itemsByPath.insert(path, item.get());
        target->appendChild(std::move(item));
    }
    endInsertRows();
}

void FileBrowserTreeModel::removeTopItemChildren()
{
    FileBrowserTreeItem *top = topItem();
    if (top->childCount() == 0)
        return;
    beginRemoveRows(indexFor(top), 0, top->childCount() - 1);
    forgetDescendants(top);
    // Freed on return, once no view holds an index to them any more.
    const auto removed = top->takeChildren();
    endRemoveRows();
}

void FileBrowserTreeModel::forgetDescendants(const FileBrowserTreeItem *item)
{
    for (int row = 0; row < item->childCount(); ++row) {
        FileBrowserTreeItem *child = item->child(row);
        itemsByPath.remove(child->fullPath(), child);
        forgetDescendants(child);
    }
}
