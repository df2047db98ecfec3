#include "collection/collectionbuilder.h"

#include "collection/collectioncache.h"
#include "collection/collectioncachewriter.h"
#include "collection/collectionlog.h"
#include "collection/collectionsource.h"
#include "collection/listinganswer.h"
#include "collection/listingpipe.h"
#include "collection/songdecoder.h"

#include <QMutexLocker>

#include <libmpd/libmpd.h>

#include <thread>

CollectionBuilder::CollectionBuilder(QObject *parent) : QThread(parent) { }

CollectionBuilder::~CollectionBuilder()
{
    requestInterruption();
    wait();
}

void CollectionBuilder::setServer(const QString &host, int port, const QString &password)
{
    QMutexLocker lock(&mutex);
    nextServer.host = host;
    nextServer.port = port;
    nextServer.password = password;
}

void CollectionBuilder::setForceFromMPD(bool force)
{
    QMutexLocker lock(&mutex);
    nextServer.forceFromMPD = force;
}

QStringList CollectionBuilder::getArtists() const
{
    QMutexLocker lock(&mutex);
    return shown().getArtists();
}

QStringList CollectionBuilder::getAlbums(const QString &artist) const
{
    QMutexLocker lock(&mutex);
    return shown().getAlbums(artist);
}

QList<QmpdSong> CollectionBuilder::getSongs(const QString &artist, const QString &album) const
{
    QMutexLocker lock(&mutex);
    return shown().getSongs(artist, album);
}

QList<AlbumSummary> CollectionBuilder::getAlbumSummaries() const
{
    QMutexLocker lock(&mutex);
    return index.getAlbumSummaries();
}

QList<QmpdSong> CollectionBuilder::getAlbumSongs(const QString &albumArtist,
                                                 const QString &album) const
{
    QMutexLocker lock(&mutex);
    return index.getAlbumSongs(albumArtist, album);
}

bool CollectionBuilder::lastBuildFailed() const
{
    QMutexLocker lock(&mutex);
    return failed;
}

QList<UnreadableFolder> CollectionBuilder::unreadableFolders() const
{
    QMutexLocker lock(&mutex);
    return unreadable;
}

CollectionBuilder::Server CollectionBuilder::server() const
{
    QMutexLocker lock(&mutex);
    return nextServer;
}

void CollectionBuilder::run()
{
    const Server current = server();
    if (current.host.isEmpty())
        return;
    {
        Built built;
        const bool succeeded = build(current, &built) && !isInterruptionRequested();
        publish(succeeded, &built);
    }
    // The replaced index is freed above, in this thread: the window, which waits
    // for the rest of run() once it hears of the build, never waits for that.
    emit finished();
}

void CollectionBuilder::indexListings(ListingPipe &pipe, CollectionCacheWriter &writer,
                                      CollectionIndex *built) const
{
    SongDecoder decoder;
    while (MpdData *listing = pipe.pop()) {
        for (MpdData *entry = listing; entry; entry = mpd_data_get_next(entry)) {
            if (isInterruptionRequested()) {
                mpd_data_free(entry);
                pipe.stop();
                return;
            }
            if (entry->type != MPD_DATA_TYPE_SONG || !entry->song)
                continue;
            const QmpdSong song = decoder.decode(*entry->song, ListingAnswer::lastModifiedOf(entry));
            writer.addSong(song, built->addSong(song));
        }
    }
}

void CollectionBuilder::publish(bool succeeded, Built *built)
{
    CollectionIndex regrouped;
    const CollectionIndex::Grouping grouping = getGrouping();
    if (succeeded && grouping != CollectionIndex::Grouping::Artist)
        regrouped = built->index.groupedBy(grouping);
    QMutexLocker lock(&mutex);
    failed = !succeeded;
    // Swapped, so the old index is released after the lock, in this thread.
    if (succeeded) {
        std::swap(index, built->index);
        std::swap(grouped, regrouped);
        unreadable = built->unreadable;
    }
}

void CollectionBuilder::setGrouping(CollectionIndex::Grouping newGrouping)
{
    QMutexLocker lock(&mutex);
    const CollectionIndex all = index;
    lock.unlock();
    CollectionIndex regrouped;
    if (newGrouping != CollectionIndex::Grouping::Artist)
        regrouped = all.groupedBy(newGrouping);
    lock.relock();
    grouping = newGrouping;
    std::swap(grouped, regrouped);
}

CollectionIndex::Grouping CollectionBuilder::getGrouping() const
{
    QMutexLocker lock(&mutex);
    return grouping;
}

const CollectionIndex &CollectionBuilder::shown() const
{
    return grouping == CollectionIndex::Grouping::Artist ? index : grouped;
}

bool CollectionBuilder::build(const Server &server, Built *built)
{
    CollectionSource source(server.host, server.port, server.password);
    quint32 updateTime = 0;
    if (!source.open() || !source.databaseUpdateTime(&updateTime)) {
        qCWarning(lcCollection).noquote() << "collection not built:" << source.errorText();
        return false;
    }
    const CollectionCache cache(server.host);
    if (!server.forceFromMPD && cache.isFresh(updateTime)) {
        built->index = cache.load();
        built->unreadable = cache.loadUnreadableFolders();
        return true;
    }
    return buildFromServer(source, cache, updateTime, built);
}

bool CollectionBuilder::buildFromServer(CollectionSource &source, const CollectionCache &cache,
                                        quint32 updateTime, Built *built)
{
    CollectionCacheWriter writer(cache);
    writer.open();
    built->index.reserve(source.songCount());
    // This thread waits on the server and libmpd's parsing while a second one
    // indexes what already arrived: on two cores the two halves overlap.
    ListingPipe pipe;
    std::thread indexer([&] { indexListings(pipe, writer, &built->index); });
    bool complete = source.listSongs([&pipe](MpdData *listing) { return pipe.push(listing); });
    pipe.close();
    indexer.join();
    complete = complete && !pipe.isStopped();
    if (!complete || isInterruptionRequested()) {
        qCWarning(lcCollection).noquote()
                << "collection listing incomplete:"
                << (isInterruptionRequested() ? QStringLiteral("interrupted") : source.errorText());
        return false;
    }
    built->index.sortNames();
    built->unreadable = source.unreadableFolders();
    for (const UnreadableFolder &folder : std::as_const(built->unreadable))
        writer.addUnreadableFolder(folder);
    // A database update that ended during the listing may not be in it: such a
    // cache would look fresh while it is not, so the old (now stale) one stays.
    quint32 updateTimeAfter = 0;
    if (source.databaseUpdateTime(&updateTimeAfter) && updateTimeAfter == updateTime)
        writer.commit();
    else
        qCInfo(lcCollection) << "database changed during the listing; cache not saved";
    return true;
}
