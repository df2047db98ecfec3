#include "collection/collectioncontroller.h"

#include "collection/collectionsearch.h"
#include "collection/unreadablefolder.h"
#include "core/qmpdsong.h"
#include "core/serverconnection.h"
#include "playlist/queueadding.h"
#include "playlist/queuemover.h"

#include <QLineEdit>
#include <QListView>

#include <optional>

namespace {

QStringList selectedTexts(const QAbstractItemView *view)
{
    QStringList texts;
    if (const QItemSelectionModel *selection = view->selectionModel()) {
        for (const QModelIndex &row : selection->selectedRows(0))
            texts << row.data().toString();
    }
    return texts;
}

std::optional<QString> singleSelectedText(const QAbstractItemView *view)
{
    const QStringList texts = selectedTexts(view);
    if (texts.size() != 1)
        return std::nullopt;
    return texts.first();
}

}  // namespace

CollectionController::CollectionController(const Widgets &widgets, QObject *parent)
    : QObject(parent), widgets(widgets)
{
    // Sent from the builder's thread: handled in this one, after the build.
    connect(&builder, &CollectionBuilder::finished, this, &CollectionController::onBuilt,
            Qt::QueuedConnection);
    connect(widgets.artistList, &QListView::clicked, this, &CollectionController::onArtistClicked);
    connect(widgets.albumList, &QListView::clicked, this, &CollectionController::onAlbumClicked);
    addArtistAction = QueueAdding::addToPlaylistEntry(widgets.artistList, this,
                                                      &CollectionController::onAddArtist);
    addAlbumAction = QueueAdding::addToPlaylistEntry(widgets.albumList, this,
                                                     &CollectionController::onAddAlbum);
    addTrackAction = QueueAdding::addToPlaylistEntry(widgets.trackList, this,
                                                     &CollectionController::onAddTrack);
    widgets.albumList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    widgets.trackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    search = new CollectionSearch(builder,
                                  {widgets.filter, widgets.artistList, widgets.albumList,
                                   widgets.trackList, &artistModel, &albumModel},
                                  this);
    widgets.artistList->setModel(&artistModel);
    widgets.albumList->setModel(&albumModel);
}

void CollectionController::offerPlayNext(QueueMover *mover) const
{
    mover->addPlayNextSource(widgets.artistList, addArtistAction);
    mover->addPlayNextSource(widgets.albumList, addAlbumAction);
    mover->addPlayNextSource(widgets.trackList, addTrackAction);
}

CollectionController::~CollectionController()
{
    // A running thread must not be destroyed; the build stops at its next song.
    builder.requestInterruption();
    builder.wait();
}

void CollectionController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               &CollectionController::onServerStatus);
    builder.setForceFromMPD(false);
    buildNow();
}

void CollectionController::onConnectionClosed()
{
    disconnect(statusConnection);
    server = nullptr;
    // A build still running belongs to the connection being closed: cut it short
    // and don't show it when it ends.
    if (builder.isRunning())
        builder.requestInterruption();
    ++connectionSerial;
    search->showNothing();
}

void CollectionController::onServerStatus(const MpdStatus &status, MpdStatus::Changes what)
{
    // An update that starts and ends between two statuses shows only as a changed database;
    // its end must rebuild the collection all the same.
    if (!(what & (MpdStatus::Updating | MpdStatus::Database)))
        return;
    if (!status.updatingDatabase) {
        emit message(tr("Database updated, rebuilding collection..."));
        builder.setForceFromMPD(true);
        buildNow();
    } else if (what & MpdStatus::Updating) {
        emit message(tr("Database update started!"));
    }
}

void CollectionController::buildNow()
{
    emit busyChanged(true);
    // One build at a time. A build asked for meanwhile (a new connection, or a
    // database update that ended during the listing) follows when it ends, so
    // what is shown is never older than the request.
    if (builder.isRunning()) {
        buildPending = true;
        return;
    }
    startBuild();
}

void CollectionController::startBuild()
{
    buildPending = false;
    buildSerial = connectionSerial;
    ++unreportedBuilds;
    // The builder talks to the server over a connection of its own: the window's
    // connection is never shared across threads.
    builder.setServer(server->host(), server->port(), server->password());
    builder.start(QThread::InheritPriority);
}

void CollectionController::onBuilt()
{
    // A build cut short by a disconnect can report after the next one started.
    if (--unreportedBuilds > 0)
        return;
    // finished() is sent just before run() returns: wait for the rest, so that
    // isRunning() is false from here on and a pending build can start.
    builder.wait();
    if (buildPending && server) {
        startBuild();
        return;
    }
    buildPending = false;
    // A build of a connection closed since it began is not this connection's
    // collection; a failed one published nothing. The lists stay as they are.
    const bool current = server && buildSerial == connectionSerial;
    if (current && !builder.lastBuildFailed()) {
        search->showCollection();
        const QString unreadable = UnreadableFolder::report(builder.unreadableFolders());
        emit message(unreadable.isEmpty() ? tr("Collection built succesfully!") : unreadable);
    }
    emit busyChanged(false);
    if (current)
        emit built();
}

void CollectionController::onArtistClicked(const QModelIndex &index)
{
    if (previousClicked.isValid() && previousClicked == index) {
        // The same row twice in a row: back to all albums.
        widgets.artistList->clearSelection();
        search->showAlbumsOf(NULL_ARTIST_OR_ALBUM_STRING);
        previousClicked = QModelIndex();
    } else {
        search->showAlbumsOf(index.data().toString());
        previousClicked = index;
    }
}

void CollectionController::onAlbumClicked(const QModelIndex &index)
{
    const QString album = index.data().toString();
    const QString artist = singleSelectedText(widgets.artistList).value_or(QString());
    search->showTracksOf(artist, album);
}

bool CollectionController::refuseDuringBuild()
{
    // The index is being replaced while a build runs.
    if (!builder.isRunning())
        return false;
    emit message(tr("Cannot perform operation while building collection. Sorry."));
    return true;
}

void CollectionController::onAddArtist()
{
    if (refuseDuringBuild())
        return;
    const std::optional<QString> artist = singleSelectedText(widgets.artistList);
    if (!artist)
        return;
    QList<QmpdSong> songs;
    for (const QString &album : search->getAlbums(*artist))
        songs += search->getSongs(*artist, album);
    addSongs(songs, tr("Added all songs from artist \"") + *artist + tr("\" to playlist!"));
}

void CollectionController::onAddAlbum()
{
    if (refuseDuringBuild() || !widgets.albumList->selectionModel())
        return;
    const QStringList albums = selectedTexts(widgets.albumList);
    const std::optional<QString> artist = singleSelectedText(widgets.artistList);
    if (!artist) {
        emit message(tr("Invalid selection. Please select one artist."));
        return;
    }
    QList<QmpdSong> songs;
    for (const QString &album : albums)
        songs += search->getSongs(*artist, album);
    addSongs(songs, tr("Added songs from ") + QString::number(albums.size())
                            + tr(" albums to playlist!"));
}

void CollectionController::onAddTrack()
{
    if (refuseDuringBuild() || !widgets.trackList->selectionModel())
        return;
    const QModelIndexList rows = widgets.trackList->selectionModel()->selectedRows(0);
    const std::optional<QString> artist = singleSelectedText(widgets.artistList);
    if (!artist) {
        emit message(tr("Invalid selection. Please select one artist."));
        return;
    }
    const std::optional<QString> album = singleSelectedText(widgets.albumList);
    if (!album) {
        emit message(tr("Invalid selection. Please select one and only one album."));
        return;
    }
    const QList<QmpdSong> albumSongs = search->getSongs(*artist, *album);
    QList<QmpdSong> songs;
    // The track list may still show another pair's songs (the selection moved
    // without a click): rows past this pair's songs are skipped.
    for (const QModelIndex &row : rows) {
        if (row.row() < albumSongs.size())
            songs << albumSongs.at(row.row());
    }
    addSongs(songs, tr("Added ") + QString::number(songs.size()) + tr(" songs from \"") + *artist
                            + QStringLiteral(" - ") + *album + tr("\" to playlist!"));
}

void CollectionController::addSongs(const QList<QmpdSong> &songs, const QString &doneMessage)
{
    QStringList paths;
    paths.reserve(songs.size());
    for (const QmpdSong &song : songs)
        paths << song.file;
    QueueAdding::append(server, this, paths, [this, doneMessage] { emit message(doneMessage); });
}

void CollectionController::activateFocusedList(bool enter)
{
    if (widgets.artistList->hasFocus()) {
        if (enter)
            onAddArtist();
        else if (selectedTexts(widgets.artistList).size() == 1)
            onArtistClicked(widgets.artistList->selectionModel()->selectedRows(0).first());
    } else if (widgets.albumList->hasFocus()) {
        if (enter)
            onAddAlbum();
        else if (selectedTexts(widgets.albumList).size() == 1)
            onAlbumClicked(widgets.albumList->selectionModel()->selectedRows(0).first());
    } else if (widgets.trackList->hasFocus() && enter) {
        onAddTrack();
    }
}
