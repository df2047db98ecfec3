// CollectionBuilder: the worker thread that builds the artist/album/song index of
// the MPD server's database, from the server over a connection of its own, or from
// the host's cache files while they are newer than the server's last database update.
// The main window owns it (a member) and starts it; run() executes in the builder's
// thread (with a helper thread that indexes while the server lists, joined before
// run() goes on), everything else in the GUI thread. The queries may be called at any time:
// a build works on its own index and publishes it whole at its end.
#ifndef COLLECTIONBUILDER_H
#define COLLECTIONBUILDER_H

#include "collection/collectionindex.h"
#include "collection/unreadablefolder.h"

#include <QMutex>
#include <QThread>

class CollectionCache;
class CollectionCacheWriter;
class CollectionSource;
class ListingPipe;

class CollectionBuilder : public QThread
{
    Q_OBJECT

public:
    explicit CollectionBuilder(QObject *parent = nullptr);
    // Asks a running build to stop and waits for it: a running thread must not die.
    ~CollectionBuilder() override;

    // The server of the next build; the build opens and closes its own connection.
    void setServer(const QString &host, int port, const QString &password);
    // When set, builds ask the server even when the cache is fresh, until cleared.
    void setForceFromMPD(bool force);

    // The tag whose values getArtists() lists and the two other queries take for the artist:
    // the artist unless set. Regrouping a big index takes a moment; the GUI thread waits for it
    // only when the user picks another tag. A build regroups what it publishes itself.
    void setGrouping(CollectionIndex::Grouping grouping);
    CollectionIndex::Grouping getGrouping() const;

    QStringList getArtists() const;
    // All albums (sorted) for NULL_ARTIST_OR_ALBUM_STRING, else the artist's albums
    // in order of first occurrence.
    QStringList getAlbums(const QString &artist) const;
    // Every song for the album NULL_ARTIST_OR_ALBUM_STRING, else the pair's songs.
    QList<QmpdSong> getSongs(const QString &artist, const QString &album) const;
    // The album queries answer from the index by artist, whatever the grouping.
    QList<AlbumSummary> getAlbumSummaries() const;
    QList<QmpdSong> getAlbumSongs(const QString &albumArtist, const QString &album) const;

    // True when the last build published nothing: the server could not be reached,
    // a listing failed, or the build was interrupted (requestInterruption()). The
    // previous index and the previous cache files are kept then.
    bool lastBuildFailed() const;
    // The folders the published index lacks because the server's listing of them could not
    // be read; empty after a complete build. A build from the cache reports what the build
    // that wrote it left out: the folders are asked again once the database changes.
    QList<UnreadableFolder> unreadableFolders() const;

signals:
    // Emitted at the end of every build that had a server, failed or not.
    void finished();

protected:
    void run() override;

private:
    struct Server
    {
        QString host;
        int port = 0;
        QString password;
        bool forceFromMPD = false;
    };

    Server server() const;
    // What a build makes: the index and the folders it lacks.
    struct Built
    {
        CollectionIndex index;
        QList<UnreadableFolder> unreadable;
    };

    bool build(const Server &server, Built *built);
    bool buildFromServer(CollectionSource &source, const CollectionCache &cache, quint32 updateTime,
                         Built *built);
    // Runs in a thread of its own beside the listing: decodes, indexes and
    // writes the cache, in listing order.
    void indexListings(ListingPipe &pipe, CollectionCacheWriter &writer,
                       CollectionIndex *built) const;
    void publish(bool succeeded, Built *built);

    // The index the queries answer from; under the mutex.
    const CollectionIndex &shown() const;

    mutable QMutex mutex;  // guards everything below
    Server nextServer;
    CollectionIndex index;
    CollectionIndex::Grouping grouping = CollectionIndex::Grouping::Artist;
    CollectionIndex grouped;  // index by that tag, unless it is the artist
    QList<UnreadableFolder> unreadable;
    bool failed = false;
};

#endif
