#include "collectionsource.h"

#include "collectionlog.h"

#include <QList>
#include <QThread>

#include <libmpd/libmpd.h>

namespace {

const float connectionTimeoutSeconds = 10.0f;

// Frees what is left of a listing when its walk ends early.
struct DataGuard
{
    MpdData *data;
    ~DataGuard() { mpd_data_free(data); }
};

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
    qCWarning(lcCollection).noquote() << "collection listing:" << source->lastError;
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

bool CollectionSource::feedSongs(MpdData *data, const SongSink &sink,
                                 QList<QByteArray> *subdirectories)
{
    DataGuard guard{data};
    for (; guard.data; guard.data = mpd_data_get_next(guard.data)) {
        if (guard.data->type == MPD_DATA_TYPE_SONG && !sink(*guard.data->song))
            return false;
        if (guard.data->type == MPD_DATA_TYPE_DIRECTORY && subdirectories)
            subdirectories->append(QByteArray(guard.data->directory));
    }
    return true;
}

bool CollectionSource::listSongs(const SongSink &sink)
{
    const int errorsBefore = errorCount;
    MpdData *whole = mpd_database_get_complete(mpd.get());
    if (healthySince(errorsBefore))
        return feedSongs(whole, sink);
    mpd_data_free(whole);
    // A server refuses an answer larger than its output buffer (8 MiB by default)
    // and closes the connection: ask again in pieces.
    qCInfo(lcCollection) << "whole listing refused; listing directory by directory";
    return !interrupted() && connectServer() && listDirectory(QByteArray(), sink);
}

bool CollectionSource::listTree(const QByteArray &path, const SongSink &sink)
{
    const int errorsBefore = errorCount;
    MpdData *songs = mpd_database_get_directory_recursive(mpd.get(), path.constData());
    if (healthySince(errorsBefore))
        return feedSongs(songs, sink);
    mpd_data_free(songs);
    return !interrupted() && connectServer() && listDirectory(path, sink);
}

bool CollectionSource::listDirectory(const QByteArray &path, const SongSink &sink)
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
    QList<QByteArray> subdirectories;
    if (!feedSongs(entries, sink, &subdirectories))
        return false;
    for (const QByteArray &subdirectory : subdirectories) {
        if (interrupted() || !listTree(subdirectory, sink))
            return false;
    }
    return true;
}
