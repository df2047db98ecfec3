#include "filebrowser/filebrowsertreeitem.h"

#include <utility>

FileBrowserTreeItem::FileBrowserTreeItem(const QString &path, FileBrowserTreeItem *parent)
    : parentItem(parent), path(path), label(labelFor(path, parent))
{
}

QString FileBrowserTreeItem::labelFor(const QString &path, const FileBrowserTreeItem *parent)
{
    if (!parent)
        return path;
    if (path == QLatin1String("/"))
        return path;
    // The server names directories by their whole relative path (Music/Rock); show the last part.
    QString label = path;
    if (label.startsWith(parent->fullPath()))
        label.remove(0, parent->fullPath().size());
    if (label.startsWith(QLatin1Char('/')))
        label.remove(0, 1);
    return label;
}

void FileBrowserTreeItem::appendChild(std::unique_ptr<FileBrowserTreeItem> child)
{
    Q_ASSERT(child && child->parentItem == this);
    child->rowInParent = childCount();
    childItems.push_back(std::move(child));
}

std::vector<std::unique_ptr<FileBrowserTreeItem>> FileBrowserTreeItem::takeChildren()
{
    return std::exchange(childItems, {});
}

FileBrowserTreeItem *FileBrowserTreeItem::child(int row) const
{
    if (row < 0 || row >= childCount())
        return nullptr;
    return childItems[size_t(row)].get();
}

int FileBrowserTreeItem::childCount() const
{
    return int(childItems.size());
}

int FileBrowserTreeItem::row() const
{
    return rowInParent;
}

FileBrowserTreeItem *FileBrowserTreeItem::parent() const
{
    return parentItem;
}

QString FileBrowserTreeItem::fullPath() const
{
    return path;
}

QString FileBrowserTreeItem::visiblePath() const
{
    return label;
}

bool FileBrowserTreeItem::isExpanded() const
{
    return expanded;
}

void FileBrowserTreeItem::setExpanded(bool expanded)
{
    this->expanded = expanded;
}
