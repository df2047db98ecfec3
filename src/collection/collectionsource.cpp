#include "collectionsource.h"

#include "collectionlog.h"

#include <QList>
#include <QThread>

#include <libmpd/libmpd.h>

namespace {

const float connectionTimeoutSeconds = 10.0f;

// A server refuses an answer larger than its output buffer (max_output_buffer_size,
// 8 MiB by default) and closes the connection: from about 30,000 generated songs,
// or 20,000 real ones with more tags. Larger parts of the database are listed
// directory by directory, each directory's expected share in one listing.
const int songsPerListing = 10000;

bool interrupted()
{
    return QThread::currentThread()->isInterruptionRequested();
}

}  // namespace

CollectionSource::CollectionSource(const QString &host, int port, const QString &password)
    : host(host.toLatin1()), password(password.toLatin1()), port(port), mpd(nullptr, mpd_free)
{ }

CollectionSource::~CollectionSource() = default;

int CollectionSource::onError(MpdObj *, int id, char *message, void *userdata)
{
    auto *source = static_cast<CollectionSource *>(userdata);
    ++source->errorCount;
    source->lastError
            = QStringLiteral("MPD Error %1 '%2'").arg(id).arg(QString::fromLatin1(message));
    // Not necessarily a failure: a refused whole listing is asked again in pieces.
    qCDebug(lcCollection).noquote() << "collection listing:" << source->lastError;
    return true;  // after any error the connection's state is unknown: drop it
}

bool CollectionSource::open()
{
    mpd.reset(mpd_new(host.data(), port, password.data()));
    if (!mpd)
        return false;
    mpd_signal_connect_error(mpd.get(), onError, this);
    mpd_set_connection_timeout(mpd.get(), connectionTimeoutSeconds);
    return connectServer();
}

bool CollectionSource::connectServer()
{
    const int errorsBefore = errorCount;
    if (mpd_connect(mpd.get()) != MPD_OK) {
        if (lastError.isEmpty())
            lastError = QStringLiteral("cannot connect to %1:%2")
                                .arg(QString::fromLatin1(host))
                                .arg(port);
        return false;
    }
    mpd_send_password(mpd.get());
    return healthySince(errorsBefore);
}

bool CollectionSource::healthySince(int errorsBefore) const
{
    return errorCount == errorsBefore && mpd_check_connected(mpd.get());
}

bool CollectionSource::databaseUpdateTime(quint32 *updateTime)
{
    const int errorsBefore = errorCount;
    // libmpd keeps the stats of its last request: ask the server again.
    mpd_stats_update(mpd.get());
    *updateTime = quint32(mpd_server_get_database_update_time(mpd.get()));
    return healthySince(errorsBefore);
}

int CollectionSource::songCount() const
{
    return qMax(0, mpd_stats_get_total_songs(mpd.get()));
}

QString CollectionSource::errorText() const
{
    return lastError;
}

CollectionSource::Directory CollectionSource::contentsOf(MpdData *listing)
{
    Directory directory;
    // Walked without freeing: mpd_data_get_next frees the list once past its end.
    for (MpdData *entry = listing; entry; entry = mpd_data_get_next(entry)) {
        if (entry->type == MPD_DATA_TYPE_SONG)
            ++directory.songs;
        else if (entry->type == MPD_DATA_TYPE_DIRECTORY)
            directory.subdirectories.append(QByteArray(entry->directory));
        if (mpd_data_is_last(entry))
            break;
    }
    return directory;
}

bool CollectionSource::listSongs(const ListingSink &sink)
{
    const int expectedSongs = songCount();
    if (expectedSongs > songsPerListing)
        return listDirectory(QByteArray(), expectedSongs, sink);
    const int errorsBefore = errorCount;
    MpdData *whole = mpd_database_get_complete(mpd.get());
    if (healthySince(errorsBefore))
        return sink(whole);
    mpd_data_free(whole);
    qCInfo(lcCollection) << "whole listing refused; listing directory by directory";
    return !interrupted() && connectServer() && listDirectory(QByteArray(), expectedSongs, sink);
}

bool CollectionSource::listTree(const QByteArray &path, int expectedSongs, const ListingSink &sink)
{
    if (expectedSongs > songsPerListing)
        return listDirectory(path, expectedSongs, sink);
    const int errorsBefore = errorCount;
    MpdData *songs = mpd_database_get_directory_recursive(mpd.get(), path.constData());
    if (healthySince(errorsBefore))
        return sink(songs);
    mpd_data_free(songs);
    // Bigger than the guess: the server refused it and closed the connection.
    return !interrupted() && connectServer() && listDirectory(path, expectedSongs, sink);
}

bool CollectionSource::listDirectory(const QByteArray &path, int expectedSongs,
                                     const ListingSink &sink)
{
    const int errorsBefore = errorCount;
    MpdData *entries
            = mpd_database_get_directory(mpd.get(), path.isEmpty() ? nullptr : path.constData());
    if (!healthySince(errorsBefore)) {
        mpd_data_free(entries);
        return false;
    }
    // A recursive listing gives a directory's own songs before its subdirectories;
    // keeping that order makes a listing in pieces equal to a whole one.
    const Directory directory = contentsOf(entries);
    if (!sink(entries))
        return false;
    const int subdirectoryCount = qMax(1, int(directory.subdirectories.size()));
    const int expectedPerSubdirectory
            = qMax(0, expectedSongs - directory.songs) / subdirectoryCount + 1;
    for (const QByteArray &subdirectory : directory.subdirectories) {
        if (interrupted() || !listTree(subdirectory, expectedPerSubdirectory, sink))
            return false;
    }
    return true;
}
