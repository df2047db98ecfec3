// The collection tab: building the index, browsing it by artist and album, and
// adding from it to the playlist.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/busyindicator.h"
#include "collection/collectionsearch.h"
#include "core/qmpdsong.h"
#include "core/serverconnection.h"

void MainWindow::buildCollectionMenus()
{
    addArtistAction = new QAction(tr("&Add to playlist"), this);
    addAlbumAction = new QAction(tr("&Add to playlist"), this);
    addTrackAction = new QAction(tr("&Add to playlist"), this);
    connect(addArtistAction, &QAction::triggered, this, &MainWindow::onAddArtist);
    connect(addAlbumAction, &QAction::triggered, this, &MainWindow::onAddAlbum);
    connect(addTrackAction, &QAction::triggered, this, &MainWindow::onAddTrack);
    ui->artistList->addAction(addArtistAction);
    ui->albumList->addAction(addAlbumAction);
    ui->trackList->addAction(addTrackAction);
    ui->albumList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->trackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->artistList->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->albumList->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->trackList->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::buildCollectionNow()
{
    busyIndicator->start();
    ui->action_Update_database->setEnabled(false);
    ui->tabCollection->setEnabled(false);
    ui->filebrowserTab->setEnabled(false);
    if (!server())
        return;
    // One build at a time. A build asked for meanwhile (a new connection, or a
    // database update that ended during the listing) follows when it ends, so
    // what is shown is never older than the request.
    if (collectionBuilder.isRunning()) {
        collectionBuildPending = true;
        return;
    }
    startCollectionBuild();
}

void MainWindow::startCollectionBuild()
{
    collectionBuildPending = false;
    buildSerial = connectionSerial;
    ++unreportedBuilds;
    // The builder talks to the server over a connection of its own: the GUI's
    // connection keeps polling meanwhile and is never shared across threads.
    collectionBuilder.setServer(server()->host(), server()->port(), server()->password());
    collectionBuilder.start(QThread::InheritPriority);
}

void MainWindow::onCollectionBuilt()
{
    // A build cut short by a disconnect can report after the next one started.
    if (--unreportedBuilds > 0)
        return;
    // finished() is sent just before run() returns: wait for the rest, so that
    // isRunning() is false from here on and a pending build can start.
    collectionBuilder.wait();
    if (collectionBuildPending && server()) {
        startCollectionBuild();
        return;
    }
    collectionBuildPending = false;
    // A build of a connection closed since it began is not this connection's
    // collection; a failed one published nothing. The lists stay as they are.
    const bool current = server() && buildSerial == connectionSerial;
    if (current && !collectionBuilder.lastBuildFailed()) {
        collectionSearch->showCollection();
        const QString unreadable = UnreadableFolder::report(collectionBuilder.unreadableFolders());
        myShowMessage(unreadable.isEmpty() ? tr("Collection built succesfully!") : unreadable);
    }
    endCollectionBusy();
    if (current)
        initializeFileBrowser();
}

void MainWindow::endCollectionBusy()
{
    // Without a connection there is nothing to update; activateUi re-enables it.
    ui->action_Update_database->setEnabled(server() != nullptr);
    ui->tabCollection->setEnabled(true);
    ui->filebrowserTab->setEnabled(true);
    busyIndicator->stop();
}

void MainWindow::onCArtistClick(const QModelIndex &index)
{
    if (previousClicked.isValid() && previousClicked == index) {
        // The same row twice in a row: back to all albums.
        ui->artistList->clearSelection();
        collectionSearch->showAlbumsOf(NULL_ARTIST_OR_ALBUM_STRING);
        previousClicked = QModelIndex();
    } else {
        collectionSearch->showAlbumsOf(index.data().toString());
        previousClicked = index;
    }
}

void MainWindow::onCAlbumClick(const QModelIndex &index)
{
    const QString album = index.data().toString();
    const QString artist = singleSelectedText(ui->artistList).value_or(QString());
    collectionSearch->showTracksOf(artist, album);
}

bool MainWindow::refuseDuringBuild()
{
    // The index is being replaced while a build runs.
    if (!collectionBuilder.isRunning())
        return false;
    myShowMessage(tr("Cannot perform operation while building collection. Sorry."));
    return true;
}

void MainWindow::onAddArtist()
{
    if (refuseDuringBuild())
        return;
    const std::optional<QString> artist = singleSelectedText(ui->artistList);
    if (!artist)
        return;
    QList<QmpdSong> songs;
    for (const QString &album : collectionSearch->getAlbums(*artist))
        songs += collectionSearch->getSongs(*artist, album);
    addSongsToPlaylist(songs,
                       tr("Added all songs from artist \"") + *artist + tr("\" to playlist!"));
}

void MainWindow::onAddAlbum()
{
    if (refuseDuringBuild() || !ui->albumList->selectionModel())
        return;
    const QStringList albums = selectedTexts(ui->albumList);
    const std::optional<QString> artist = singleSelectedText(ui->artistList);
    if (!artist) {
        myShowMessage(tr("Invalid selection. Please select one artist."));
        return;
    }
    QList<QmpdSong> songs;
    for (const QString &album : albums)
        songs += collectionSearch->getSongs(*artist, album);
    addSongsToPlaylist(songs,
                       tr("Added songs from ") + QString::number(albums.size())
                               + tr(" albums to playlist!"));
}

void MainWindow::onAddTrack()
{
    if (refuseDuringBuild() || !ui->trackList->selectionModel())
        return;
    const QModelIndexList rows = ui->trackList->selectionModel()->selectedRows(0);
    const std::optional<QString> artist = singleSelectedText(ui->artistList);
    if (!artist) {
        myShowMessage(tr("Invalid selection. Please select one artist."));
        return;
    }
    const std::optional<QString> album = singleSelectedText(ui->albumList);
    if (!album) {
        myShowMessage(tr("Invalid selection. Please select one and only one album."));
        return;
    }
    const QList<QmpdSong> albumSongs = collectionSearch->getSongs(*artist, *album);
    QList<QmpdSong> songs;
    // The track list may still show another pair's songs (the selection moved
    // without a click): rows past this pair's songs are skipped.
    for (const QModelIndex &row : rows) {
        if (row.row() < albumSongs.size())
            songs << albumSongs.at(row.row());
    }
    addSongsToPlaylist(songs,
                       tr("Added ") + QString::number(songs.size()) + tr(" songs from \"") + *artist
                               + QStringLiteral(" - ") + *album + tr("\" to playlist!"));
}

void MainWindow::addSongsToPlaylist(const QList<QmpdSong> &songs, const QString &doneMessage)
{
    QStringList paths;
    paths.reserve(songs.size());
    for (const QmpdSong &song : songs)
        paths << song.file;
    addToQueue(paths, doneMessage);
}

void MainWindow::addToQueue(const QStringList &paths, const QString &doneMessage)
{
    if (!server())
        return;
    // A failed commit is reported by the connection's error box; no success then.
    server()->ask(
            this, [paths](Qmpd &queue) { return queue.addPaths(paths); },
            [this, doneMessage](bool added) {
                if (added)
                    myShowMessage(doneMessage);
            });
}

void MainWindow::collectionKey(bool enter)
{
    if (ui->artistList->hasFocus()) {
        if (enter)
            onAddArtist();
        else if (selectedTexts(ui->artistList).size() == 1)
            onCArtistClick(ui->artistList->selectionModel()->selectedRows(0).first());
    } else if (ui->albumList->hasFocus()) {
        if (enter)
            onAddAlbum();
        else if (selectedTexts(ui->albumList).size() == 1)
            onCAlbumClick(ui->albumList->selectionModel()->selectedRows(0).first());
    } else if (ui->trackList->hasFocus() && enter) {
        onAddTrack();
    }
}

QStringList MainWindow::selectedTexts(const QAbstractItemView *view)
{
    QStringList texts;
    if (const QItemSelectionModel *selection = view->selectionModel()) {
        for (const QModelIndex &row : selection->selectedRows(0))
            texts << row.data().toString();
    }
    return texts;
}

std::optional<QString> MainWindow::singleSelectedText(const QAbstractItemView *view)
{
    const QStringList texts = selectedTexts(view);
    if (texts.size() != 1)
        return std::nullopt;
    return texts.first();
}
