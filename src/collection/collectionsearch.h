// CollectionSearch: the collection tab's search field and what the artist, album
// and track lists show. The window says whose albums and which album's tracks to
// show; the queries answer through the search, and when the field changes the
// lists are filled again with their selection kept. Owned by the main window,
// which owns the views and the artist and album models; GUI thread, but for a
// short-lived thread that folds each new index for the search.
#ifndef COLLECTIONSEARCH_H
#define COLLECTIONSEARCH_H

#include "collection/collectionfilter.h"

#include <QObject>
#include <QStringListModel>
#include <QThread>

#include <memory>

class CollectionBuilder;
class QLineEdit;
class QListView;

class CollectionSearch : public QObject
{
    Q_OBJECT

public:
    struct Views
    {
        QLineEdit *field;
        QListView *artistList;
        QListView *albumList;
        QListView *trackList;
        QStringListModel *artistModel;
        QStringListModel *albumModel;
    };

    CollectionSearch(const CollectionBuilder &builder, const Views &views, QObject *parent);
    // Waits for a fold still running.
    ~CollectionSearch() override;

    // The builder's queries, narrowed to the songs the search finds.
    QStringList getArtists() const;
    QStringList getAlbums(const QString &artist) const;
    QList<QmpdSong> getSongs(const QString &artist, const QString &album) const;

    // A new index: every artist, every album, no tracks.
    void showCollection();
    // The artist's albums, sorted (every album for NULL_ARTIST_OR_ALBUM_STRING); no tracks.
    void showAlbumsOf(const QString &artist);
    void showTracksOf(const QString &artist, const QString &album);
    // Disconnected: empty lists until the next showCollection.
    void showNothing();
    // The files of the songs selected in the track list.
    QStringList selectedTracks() const;

private:
    bool searching() const { return folded && filter.isActive(); }
    void foldIndex();
    void onIndexFolded(const std::shared_ptr<CollectionFilter> &result);
    void onSearchEdited(const QString &typed);
    void fillLists();
    void fillAlbums();
    void fillTracks();

    const CollectionBuilder &builder;
    Views views;
    CollectionFilter filter;
    // Folds the newest index; the filter is current once it has handed its result over.
    std::unique_ptr<QThread> folder;
    bool folded = false;
    // Counts folds started, so that a superseded fold's late report is ignored.
    quint64 foldGeneration = 0;
    QStringListModel trackModel;
    bool indexShown = false;
    // Whose albums the album list shows, and the pair whose songs the track list shows.
    QString albumsArtist;
    QString tracksArtist;
    QString tracksAlbum;
    bool tracksShown = false;
    // The track list's songs, row by row.
    QList<QmpdSong> tracks;
};

#endif
