#include "filebrowser/filebrowsercontroller.h"

#include "core/qmpdsong.h"
#include "core/serverconnection.h"
#include "filebrowser/filebrowserlog.h"
#include "filebrowser/filebrowsertreemodel.h"
#include "playlist/queueadding.h"
#include "playlist/queuemover.h"
#include "playlist/songmodel.h"
#include "playlist/songsortfiltermodel.h"

#include <QScopedValueRollback>
#include <QTableView>
#include <QTreeView>

namespace {

const QString topPath = QStringLiteral("/");

using ListedFolders = QList<QPair<QString, QStringList>>;

// The subdirectories of each path not yet listed, in order.
ListedFolders listFolders(Qmpd &server, const QStringList &paths, const QSet<QString> &listed)
{
    ListedFolders folders;
    for (const QString &path : paths) {
        if (!listed.contains(path))
            folders.append({path, server.listDirectory(path).subdirectories});
    }
    return folders;
}

QSet<QString> visitedPaths(const QMap<QString, bool> &visited)
{
    const QStringList paths = visited.keys();
    return QSet<QString>(paths.begin(), paths.end());
}

// The one selected row of view, or an invalid index when not exactly one row is selected.
QModelIndex singleSelectedRow(const QAbstractItemView *view)
{
    const QItemSelectionModel *selection = view->selectionModel();
    if (!selection)
        return QModelIndex();
    const QModelIndexList rows = selection->selectedRows();
    return rows.size() == 1 ? rows.first() : QModelIndex();
}

}  // namespace

FileBrowserController::FileBrowserController(const Widgets &widgets, QObject *parent)
    : QObject(parent), widgets(widgets), fileListProxy(new SongSortFilterModel(this))
{
    addDirAction = QueueAdding::addToPlaylistEntry(widgets.directoryTree, this,
                                                   &FileBrowserController::onAddDirectory);
    QueueAdding::addMenuEntry(widgets.directoryTree, tr("&Update folder"), this,
                              &FileBrowserController::onUpdateDirectory);
    addTrackAction = QueueAdding::addToPlaylistEntry(widgets.fileList, this,
                                                     &FileBrowserController::onAddTracks);
    widgets.fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    widgets.fileList->setModel(fileListProxy);
    // U rescans the selected folder while the tab is shown.
    auto *updateKey = new QAction(this);
    updateKey->setShortcut(QKeySequence(Qt::Key_U));
    widgets.page->addAction(updateKey);
    connect(updateKey, &QAction::triggered, this, &FileBrowserController::onUpdateDirectory);

    QTreeView *tree = widgets.directoryTree;
    connect(tree, &QTreeView::clicked, this, &FileBrowserController::onDirectoryClicked);
    connect(tree, &QTreeView::expanded, this, &FileBrowserController::onDirectoryClicked);
    connect(tree, &QTreeView::collapsed, this, &FileBrowserController::onDirectoryCollapsed);
}

FileBrowserController::~FileBrowserController() = default;

void FileBrowserController::offerPlayNext(QueueMover *mover) const
{
    mover->addPlayNextSource(widgets.directoryTree, addDirAction);
    mover->addPlayNextSource(widgets.fileList, addTrackAction);
}

void FileBrowserController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    reload();
}

void FileBrowserController::onConnectionClosed()
{
    server = nullptr;
    dirTree.clear();
    if (treeModel)
        treeModel->setDirTree(dirTree);
}

void FileBrowserController::reload()
{
    auto *model = new FileBrowserTreeModel(this);
    visited.clear();
    dirTree.clear();
    widgets.directoryTree->setModel(model);
    // Only now does the view let go of the old model.
    delete treeModel;
    treeModel = model;
    if (!server)
        return;
    server->ask(
            model, [](Qmpd &folders) { return listFolders(folders, {topPath}, {}); },
            [this](const ListedFolders &listed) { showDirectory({}, topPath, listed, {}); });
}

void FileBrowserController::onDirectoryClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.model() != treeModel || !server || openingDirectory)
        return;
    const QString path = index.data(Qt::UserRole).toString();
    const QPersistentModelIndex opened(index);
    // One level ahead: listing the subdirectories too tells the tree which of them have
    // children of their own.
    server->ask(
            treeModel,
            [path, listedBefore = visitedPaths(visited)](Qmpd &folders) {
                Qmpd::DirectoryListing listing = folders.listDirectory(path);
                ListedFolders listed = listFolders(folders, {path}, listedBefore);
                listed += listFolders(folders, listing.subdirectories, listedBefore);
                return std::make_pair(listed, std::move(listing.songs));
            },
            [this, opened, path](std::pair<ListedFolders, std::vector<QmpdSong>> result) {
                showDirectory(opened, path, result.first, std::move(result.second));
            });
}

void FileBrowserController::showDirectory(const QModelIndex &index, const QString &path,
                                          const ListedFolders &listed, std::vector<QmpdSong> songs)
{
    const QScopedValueRollback<bool> opening(openingDirectory, true);
    bool listedNew = false;
    for (const auto &[folder, subdirectories] : listed) {
        if (visited.value(folder))
            continue;
        dirTree.append({folder, subdirectories});
        visited.insert(folder, true);
        listedNew = true;
    }
    if (listedNew)
        treeModel->setDirTree(dirTree);
    if (path == topPath && !index.isValid())
        return;
    auto model = std::make_unique<SongModel>();
    std::vector<std::unique_ptr<QmpdSong>> rows;
    for (QmpdSong &song : songs)
        rows.push_back(std::make_unique<QmpdSong>(std::move(song)));
    model->addItems(std::move(rows));
    showFileList(std::move(model));
    if (index.isValid()) {
        widgets.directoryTree->setExpanded(index, true);
        treeModel->setExpanded(index, true);
    }
}

void FileBrowserController::showFileList(std::unique_ptr<SongModel> songs)
{
    fileListProxy->setSourceModel(songs.get());
    // The proxy has let go of the previous folder's songs: they may go now.
    fileListSongs = std::move(songs);
}

void FileBrowserController::onDirectoryCollapsed(const QModelIndex &index)
{
    if (treeModel)
        treeModel->setExpanded(index, false);
}

void FileBrowserController::onAddDirectory()
{
    const QModelIndex row = singleSelectedRow(widgets.directoryTree);
    if (!row.isValid())
        return;
    const QString path = row.data(Qt::UserRole).toString();
    const QString done = tr("Added all songs from \"") + path + tr("\" and all its subdirectories!");
    QueueAdding::append(server, this, {path}, [this, done] { emit message(done); });
}

void FileBrowserController::onUpdateDirectory()
{
    const QModelIndex row = singleSelectedRow(widgets.directoryTree);
    if (!row.isValid() || !server)
        return;
    const QString path = row.data(Qt::UserRole).toString();
    qCDebug(lcFileBrowser) << "Asking the server to rescan" << path;
    server->send(&Qmpd::updateDatabase, path);
}

void FileBrowserController::onAddTracks()
{
    const QItemSelectionModel *selection = widgets.fileList->selectionModel();
    if (!selection)
        return;
    const QModelIndexList rows = selection->selectedRows();
    QStringList paths;
    for (const QModelIndex &row : rows)
        paths << row.data(SongModel::FileRole).toString();
    const QString done = tr("Added ") + QString::number(rows.size()) + tr(" songs to playlist");
    QueueAdding::append(server, this, paths, [this, done] { emit message(done); });
}

void FileBrowserController::activateFocusedList(bool enter)
{
    if (widgets.directoryTree->hasFocus()) {
        if (enter)
            onAddDirectory();
        else
            onDirectoryClicked(singleSelectedRow(widgets.directoryTree));
    } else if (widgets.fileList->hasFocus() && enter) {
        onAddTracks();
    }
}
