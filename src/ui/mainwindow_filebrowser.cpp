// The file browser tab: the lazily listed directory tree, the song list of the directory opened
// last, adding to the playlist and rescanning a directory.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "filebrowser/filebrowserlog.h"
#include "filebrowser/filebrowsertreemodel.h"
#include "core/qmpdsong.h"
#include "core/serverconnection.h"
#include "playlist/songmodel.h"
#include "playlist/songsortfiltermodel.h"

#include <QScopedValueRollback>

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

void MainWindow::buildFileBrowserMenus()
{
    fbAddDirAction = new QAction(tr("&Add to playlist"), this);
    fbUpdateDirAction = new QAction(tr("&Update folder"), this);
    fbAddTrackAction = new QAction(tr("&Add to playlist"), this);
    connect(fbAddDirAction, &QAction::triggered, this, &MainWindow::onAddDir);
    connect(fbUpdateDirAction, &QAction::triggered, this, &MainWindow::onUpdateDir);
    connect(fbAddTrackAction, &QAction::triggered, this, &MainWindow::onAddTrackFB);
    ui->directoryTree->addAction(fbAddDirAction);
    ui->directoryTree->addAction(fbUpdateDirAction);
    ui->fileList->addAction(fbAddTrackAction);
    ui->fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->directoryTree->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->fileList->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::initializeFileBrowser()
{
    auto *model = new FileBrowserTreeModel(this);
    fbVisited.clear();
    fbDirTree.clear();
    ui->directoryTree->setModel(model);
    // Only now does the view let go of the old model.
    delete fbModel;
    fbModel = model;

    QTreeView *tree = ui->directoryTree;
    connect(tree, &QTreeView::clicked, this, &MainWindow::onFBDirClicked, Qt::UniqueConnection);
    connect(tree, &QTreeView::expanded, this, &MainWindow::onFBDirClicked, Qt::UniqueConnection);
    connect(tree, &QTreeView::collapsed, this, &MainWindow::onFBDirCollapsed, Qt::UniqueConnection);
    if (!server())
        return;
    server()->ask(
            model, [](Qmpd &folders) { return listFolders(folders, {topPath}, {}); },
            [this](const ListedFolders &listed) { showDirectory({}, topPath, listed, {}); });
}

void MainWindow::onFBDirClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.model() != fbModel || !server() || fbOpeningDirectory)
        return;
    const QString path = index.data(Qt::UserRole).toString();
    const QPersistentModelIndex opened(index);
    // One level ahead: listing the subdirectories too tells the tree which of them have
    // children of their own.
    server()->ask(
            fbModel,
            [path, visited = visitedPaths(fbVisited)](Qmpd &folders) {
                Qmpd::DirectoryListing listing = folders.listDirectory(path);
                ListedFolders listed = listFolders(folders, {path}, visited);
                listed += listFolders(folders, listing.subdirectories, visited);
                return std::make_pair(listed, std::move(listing.songs));
            },
            [this, opened, path](std::pair<ListedFolders, std::vector<QmpdSong>> result) {
                showDirectory(opened, path, result.first, std::move(result.second));
            });
}

void MainWindow::showDirectory(const QModelIndex &index, const QString &path,
                               const ListedFolders &listed, std::vector<QmpdSong> songs)
{
    const QScopedValueRollback<bool> opening(fbOpeningDirectory, true);
    bool listedNew = false;
    for (const auto &[folder, subdirectories] : listed) {
        if (fbVisited.value(folder))
            continue;
        fbDirTree.append({folder, subdirectories});
        fbVisited.insert(folder, true);
        listedNew = true;
    }
    if (listedNew)
        fbModel->setDirTree(fbDirTree);
    if (path == topPath && !index.isValid())
        return;
    auto model = std::make_unique<SongModel>();
    std::vector<std::unique_ptr<QmpdSong>> rows;
    for (QmpdSong &song : songs)
        rows.push_back(std::make_unique<QmpdSong>(std::move(song)));
    model->addItems(std::move(rows));
    showFileList(std::move(model));
    if (index.isValid()) {
        ui->directoryTree->setExpanded(index, true);
        fbModel->setExpanded(index, true);
    }
}

void MainWindow::showFileList(std::unique_ptr<SongModel> songs)
{
    fileListProxy->setSourceModel(songs.get());
    // The proxy has let go of the previous directory's songs: they may go now.
    fileListSongs = std::move(songs);
}

void MainWindow::onFBDirCollapsed(const QModelIndex &index)
{
    if (fbModel)
        fbModel->setExpanded(index, false);
}

void MainWindow::onAddDir()
{
    const QModelIndex row = singleSelectedRow(ui->directoryTree);
    if (!row.isValid() || !server())
        return;
    const QString path = row.data(Qt::UserRole).toString();
    addToQueue({path},
               tr("Added all songs from \"") + path + tr("\" and all its subdirectories!"));
}

void MainWindow::onUpdateDir()
{
    const QModelIndex row = singleSelectedRow(ui->directoryTree);
    if (!row.isValid() || !server())
        return;
    const QString path = row.data(Qt::UserRole).toString();
    qCDebug(lcFileBrowser) << "Asking the server to rescan" << path;
    server()->send(&Qmpd::updateDatabase, path);
}

void MainWindow::onAddTrackFB()
{
    const QItemSelectionModel *selection = ui->fileList->selectionModel();
    if (!selection || !server())
        return;
    const QModelIndexList rows = selection->selectedRows();
    QStringList paths;
    for (const QModelIndex &row : rows)
        paths << row.data(SongModel::FileRole).toString();
    addToQueue(paths, tr("Added ") + QString::number(rows.size()) + tr(" songs to playlist"));
}

void MainWindow::fileBrowserKey(bool enter)
{
    if (ui->directoryTree->hasFocus()) {
        if (enter)
            onAddDir();
        else
            onFBDirClicked(singleSelectedRow(ui->directoryTree));
    } else if (ui->fileList->hasFocus() && enter) {
        onAddTrackFB();
    }
}
