#include "collection/collectionsearch.h"

#include "collection/collectionbuilder.h"

#include <QItemSelection>
#include <QLineEdit>
#include <QListView>

namespace {

QStringList selectedTexts(const QListView *view)
{
    QStringList texts;
    if (const QItemSelectionModel *selection = view->selectionModel()) {
        for (const QModelIndex &row : selection->selectedRows())
            texts << row.data().toString();
    }
    return texts;
}

// A reset loses the view's selection and scroll position: only when the rows differ.
void setRows(QStringListModel *model, const QStringList &rows)
{
    if (model->stringList() != rows)
        model->setStringList(rows);
}

void select(QListView *view, const QStringList &rows, const QStringList &wanted)
{
    QItemSelectionModel *selection = view->selectionModel();
    if (!selection)
        return;
    QItemSelection found;
    for (const QString &text : wanted) {
        const int row = int(rows.indexOf(text));
        if (row >= 0)
            found.select(view->model()->index(row, 0), view->model()->index(row, 0));
    }
    selection->select(found, QItemSelectionModel::Select);
}

}  // namespace

CollectionSearch::CollectionSearch(const CollectionBuilder &builder, const Views &views,
                                   QObject *parent)
    : QObject(parent), builder(builder), views(views), albumsArtist(NULL_ARTIST_OR_ALBUM_STRING)
{
    // One-line rows: the views need not measure each of thousands of them.
    for (QListView *view : {views.artistList, views.albumList, views.trackList})
        view->setUniformItemSizes(true);
    views.trackList->setModel(&trackModel);
    connect(views.field, &QLineEdit::textChanged, this, &CollectionSearch::onSearchEdited);
}

CollectionSearch::~CollectionSearch()
{
    if (folder)
        folder->wait();
}

QStringList CollectionSearch::getArtists() const
{
    return searching() ? filter.getArtists() : builder.getArtists();
}

QStringList CollectionSearch::getAlbums(const QString &artist) const
{
    if (!searching())
        return builder.getAlbums(artist);
    if (artist == NULL_ARTIST_OR_ALBUM_STRING)
        return filter.getAlbums();
    return filter.albumsOf(artist, builder.getAlbums(artist));
}

QList<QmpdSong> CollectionSearch::getSongs(const QString &artist, const QString &album) const
{
    const QList<QmpdSong> songs = builder.getSongs(artist, album);
    return searching() ? filter.songsOf(artist, album, songs) : songs;
}

void CollectionSearch::showCollection()
{
    foldIndex();
    indexShown = true;
    albumsArtist = NULL_ARTIST_OR_ALBUM_STRING;
    tracksShown = false;
    // A new collection starts unselected.
    views.artistModel->setStringList(getArtists());
    views.albumModel->setStringList(getAlbums(NULL_ARTIST_OR_ALBUM_STRING));
    fillTracks();
}

void CollectionSearch::showAlbumsOf(const QString &artist)
{
    albumsArtist = artist;
    tracksShown = false;
    fillAlbums();
    fillTracks();
}

void CollectionSearch::showTracksOf(const QString &artist, const QString &album)
{
    tracksArtist = artist;
    tracksAlbum = album;
    tracksShown = true;
    fillTracks();
}

void CollectionSearch::showNothing()
{
    indexShown = false;
    tracksShown = false;
    views.albumModel->setStringList({});
    views.artistModel->setStringList({});
    fillTracks();
}

void CollectionSearch::foldIndex()
{
    // Folding a big index takes longer than a frame: not in the GUI thread. Until it
    // is done the lists show everything, and the field's text is applied after.
    if (folder)
        folder->wait();
    folded = false;
    ++foldGeneration;
    auto result = std::make_shared<CollectionFilter>();
    folder.reset(
            QThread::create([result, artists = builder.getArtists(),
                             albums = builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING),
                             songs = builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING)] {
                result->setIndex(artists, albums, songs);
            }));
    connect(folder.get(), &QThread::finished, this, [this, result, generation = foldGeneration] {
        if (generation == foldGeneration)
            onIndexFolded(result);
    });
    folder->start(QThread::LowPriority);
}

void CollectionSearch::onIndexFolded(const std::shared_ptr<CollectionFilter> &result)
{
    // The thread object holds copies of the index it folded: let them go with it.
    folder->wait();
    folder.reset();
    result->setSearch(views.field->text());
    filter = std::move(*result);
    folded = true;
    if (filter.isActive() && indexShown)
        fillLists();
}

void CollectionSearch::onSearchEdited(const QString &typed)
{
    if (folded && filter.setSearch(typed) && indexShown)
        fillLists();
}

void CollectionSearch::fillLists()
{
    QStringList artists = selectedTexts(views.artistList);
    QStringList albums = selectedTexts(views.albumList);
    const QStringList songs = selectedTracks();
    // A selection the search hid is gone; the rows the lists stand for come back.
    if (artists.isEmpty() && albumsArtist != NULL_ARTIST_OR_ALBUM_STRING)
        artists << albumsArtist;
    if (albums.isEmpty() && tracksShown)
        albums << tracksAlbum;
    setRows(views.artistModel, getArtists());
    fillAlbums();
    fillTracks();
    select(views.artistList, views.artistModel->stringList(), artists);
    select(views.albumList, views.albumModel->stringList(), albums);
    QStringList files;
    for (const QmpdSong &song : std::as_const(tracks))
        files << song.file;
    select(views.trackList, files, songs);
}

void CollectionSearch::fillAlbums()
{
    QStringList albums = getAlbums(albumsArtist);
    // Every album comes sorted already; an artist's come in listing order.
    if (albumsArtist != NULL_ARTIST_OR_ALBUM_STRING)
        albums.sort();
    setRows(views.albumModel, albums);
}

void CollectionSearch::fillTracks()
{
    tracks = tracksShown ? getSongs(tracksArtist, tracksAlbum) : QList<QmpdSong>();
    QStringList texts;
    for (const QmpdSong &song : std::as_const(tracks))
        texts << (song.title.isEmpty() ? song.file : song.title);
    setRows(&trackModel, texts);
}

QStringList CollectionSearch::selectedTracks() const
{
    QStringList files;
    for (const QModelIndex &row : views.trackList->selectionModel()->selectedRows()) {
        if (row.row() < tracks.size())
            files << tracks.at(row.row()).file;
    }
    return files;
}
