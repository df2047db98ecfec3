// FileBrowserTreeModel: the one-column tree of the MPD server's music directories shown by the
// file browser, filled lazily from listings the main window hands it; it never talks to the
// server. Owned by the main window; GUI thread only.
#ifndef FILEBROWSERTREEMODEL_H
#define FILEBROWSERTREEMODEL_H

#include "filebrowser/filebrowsertreeitem.h"

#include <QAbstractItemModel>
#include <QMultiHash>
#include <QPixmap>
#include <QStringList>

#include <memory>

class FileBrowserTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit FileBrowserTreeModel(QObject *parent = nullptr);

    QModelIndex index(int row, int column,
                      const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The first node below start, depth-first in pre-order, whose full path is path; start
    // itself is never compared.
    FileBrowserTreeItem *findItem(FileBrowserTreeItem *start, const QString &path) const;
    // Grafts (directory, subdirectories) listings onto the tree; an empty list empties "/".
    void setDirTree(const QList<QPair<QString, QStringList>> &dirTree);
    // Sets the node's expanded flag, which picks its folder icon.
    void setExpanded(const QModelIndex &index, bool expanded);

private:
    FileBrowserTreeItem *topItem() const;
    FileBrowserTreeItem *itemFor(const QModelIndex &index) const;
    QModelIndex indexFor(FileBrowserTreeItem *item) const;
    void mergeListing(FileBrowserTreeItem *target, const QStringList &subdirectories);
    void removeTopItemChildren();
    void forgetDescendants(const FileBrowserTreeItem *item);

    std::unique_ptr<FileBrowserTreeItem> rootItem;
    // Every node but the root, by full path, so that merging the whole listing history does not
    // search the tree. A path shows up twice only if a listing names a directory outside its
    // own subtree, which the server never does.
    QMultiHash<QString, FileBrowserTreeItem *> itemsByPath;
    // Decoration is asked for on every repaint of every row: load the icons once.
    const QPixmap openFolderIcon;
    const QPixmap closedFolderIcon;
};

#endif
