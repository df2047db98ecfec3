// The file browser tab: the lazily listed directory tree, the song list of the directory opened
// last, adding to the playlist and rescanning a directory.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "filebrowserlog.h"
#include "filebrowsertreemodel.h"
#include "playlistadder.h"
#include "qmpdsong.h"
#include "songmodel.h"
#include "songsortfiltermodel.h"

#include <QScopedValueRollback>

namespace {

const QString topPath = QStringLiteral("/");

struct DirectoryListing
{
    QStringList subdirectories;
    std::vector<std::unique_ptr<QmpdSong>> songs;
};

// One lsinfo of path. A failed query reads as an empty directory; libmpd reports the error
// through the connection's error hook.
DirectoryListing listDirectory(MpdObj *mpd, const QString &path)
{
    DirectoryListing listing;
    for (MpdData *data = mpd_database_get_directory(mpd, path.toLocal8Bit().constData()); data;
         data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_DIRECTORY) {
            listing.subdirectories << QString::fromLocal8Bit(data->directory);
        } else if (data->type == MPD_DATA_TYPE_SONG) {
            listing.songs.push_back(std::make_unique<QmpdSong>(
                    QmpdSong::fromMpdSong(data->song, QmpdSong::TrackDateDecoding::Latin1)));
        }
    }
    return listing;
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
    if (buildFBTreePath(topPath))
        model->setDirTree(fbDirTree);
    ui->directoryTree->setModel(model);
    // Only now does the view let go of the old model.
    delete fbModel;
    fbModel = model;

    QTreeView *tree = ui->directoryTree;
    connect(tree, &QTreeView::clicked, this, &MainWindow::onFBDirClicked, Qt::UniqueConnection);
    connect(tree, &QTreeView::expanded, this, &MainWindow::onFBDirClicked, Qt::UniqueConnection);
    connect(tree, &QTreeView::collapsed, this, &MainWindow::onFBDirCollapsed, Qt::UniqueConnection);
}

bool MainWindow::buildFBTreePath(const QString &path)
{
    if (fbVisited.value(path) || !qmpd)
        return false;
    fbDirTree.append({path, listDirectory(qmpd->getMpdObj(), path).subdirectories});
    fbVisited.insert(path, true);
    return true;
}

void MainWindow::onFBDirClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.model() != fbModel || !qmpd || fbOpeningDirectory)
        return;
    const QScopedValueRollback<bool> opening(fbOpeningDirectory, true);
    const QString path = index.data(Qt::UserRole).toString();
    DirectoryListing listing = listDirectory(qmpd->getMpdObj(), path);

    // One level ahead: listing the subdirectories too tells the tree which of them have
    // children of their own.
    bool listedNew = buildFBTreePath(path);
    for (const QString &subdirectory : std::as_const(listing.subdirectories))
        listedNew |= buildFBTreePath(subdirectory);
    if (listedNew)
        fbModel->setDirTree(fbDirTree);

    auto songs = std::make_unique<SongModel>();
    songs->addItems(std::move(listing.songs));
    showFileList(std::move(songs));

    ui->directoryTree->setExpanded(index, true);
    fbModel->setExpanded(index, true);
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
    if (!row.isValid() || !qmpd)
        return;
    const QString path = row.data(Qt::UserRole).toString();
    if (!PlaylistAdder::queueAddInBatches(*qmpd, {path}))
        return;
    myShowMessage(tr("Added all songs from \"") + path + tr("\" and all its subdirectories!"));
}

void MainWindow::onUpdateDir()
{
    const QModelIndex row = singleSelectedRow(ui->directoryTree);
    if (!row.isValid() || !qmpd)
        return;
    const QString path = row.data(Qt::UserRole).toString();
    qCDebug(lcFileBrowser) << "Asking the server to rescan" << path;
    mpd_database_update_dir(qmpd->getMpdObj(), path.toLocal8Bit().constData());
}

void MainWindow::onAddTrackFB()
{
    const QItemSelectionModel *selection = ui->fileList->selectionModel();
    if (!selection || !qmpd)
        return;
    const QModelIndexList rows = selection->selectedRows();
    QStringList paths;
    for (const QModelIndex &row : rows)
        paths << row.data(SongModel::FileRole).toString();
    if (!PlaylistAdder::queueAddInBatches(*qmpd, paths))
        return;
    myShowMessage(tr("Added ") + QString::number(rows.size()) + tr(" songs to playlist"));
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
