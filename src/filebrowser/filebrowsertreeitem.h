// FileBrowserTreeItem: one directory of the MPD server in the file browser's tree. Holds data and
// children only and knows nothing of views. Owned by its parent item (the root by
// FileBrowserTreeModel); GUI thread only.
#ifndef FILEBROWSERTREEITEM_H
#define FILEBROWSERTREEITEM_H

#include <QString>

#include <memory>
#include <vector>

class FileBrowserTreeItem
{
public:
    // Does not add itself to parent's children: the caller appends it.
    FileBrowserTreeItem(const QString &path, FileBrowserTreeItem *parent);
    FileBrowserTreeItem(const FileBrowserTreeItem &) = delete;
    FileBrowserTreeItem &operator=(const FileBrowserTreeItem &) = delete;

    void appendChild(std::unique_ptr<FileBrowserTreeItem> child);
    // Detaches every child and hands them over, so the model can free them only after the
    // views have been told they are gone.
    std::vector<std::unique_ptr<FileBrowserTreeItem>> takeChildren();

    FileBrowserTreeItem *child(int row) const;
    int childCount() const;
    int row() const;
    FileBrowserTreeItem *parent() const;

    QString fullPath() const;
    QString visiblePath() const;

    // Chooses the folder icon only; the view keeps its own expansion state.
    bool isExpanded() const;
    void setExpanded(bool expanded);

private:
    static QString labelFor(const QString &path, const FileBrowserTreeItem *parent);

    FileBrowserTreeItem *parentItem;
    std::vector<std::unique_ptr<FileBrowserTreeItem>> childItems;
    QString path;
    QString label;
    bool expanded = false;
    // Children are only appended, and only ever removed all together, so a child's row never
    // changes; keeping it makes parent look-ups O(1) in directories with thousands of entries.
    int rowInParent = 0;
};

#endif
