#include "collection/collectionsource.h"

#include "core/mpdclientlogin.h"

#include "collection/collectionlog.h"
#include "collection/libmpdlisting.h"
#include "collection/listinganswer.h"

#include <QThread>


#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <climits>
#include <iterator>
#include <utility>

namespace {

const unsigned connectionTimeoutMs = 10000;

// The answers are large: an interruption is looked for every so many lines.
constexpr int linesBetweenChecks = 4096;

// A server refuses an answer larger than its output buffer (max_output_buffer_size,
// 8 MiB by default, which must hold a whole command list's answers) and closes the
// connection. With only the tags below asked for, a song takes 200-400 bytes of
// it: a directory expected to hold more songs than this is listed subdirectory by
// subdirectory, and smaller ones are asked together, up to this many songs a list.
const int songsPerListing = 10000;

// The tags the collection reads; the many others of a tagged library would be
// most of the listing's bytes.
const mpd_tag_type listedTags[]
        = {MPD_TAG_ARTIST, MPD_TAG_ALBUM,        MPD_TAG_TITLE, MPD_TAG_TRACK,
           MPD_TAG_DATE,   MPD_TAG_ALBUM_ARTIST, MPD_TAG_GENRE, MPD_TAG_COMPOSER};

bool interrupted()
{
    return QThread::currentThread()->isInterruptionRequested();
}

const char *pathArgument(const QByteArray &path)
{
    return path.isEmpty() ? nullptr : path.constData();
}

void setSocketOption(mpd_connection *connection, int option)
{
    const int on = 1;
    // Fails harmlessly on a local socket, which has neither delay.
    setsockopt(mpd_connection_get_fd(connection), IPPROTO_TCP, option, &on, sizeof on);
}

}  // namespace

CollectionSource::CollectionSource(const QString &host, int port, const QString &password)
    : host(host.toLatin1()),
      password(password.toLatin1()),
      port(port),
      connection(nullptr, mpd_connection_free)
{ }

CollectionSource::~CollectionSource() = default;

bool CollectionSource::open()
{
    return connectServer();
}

bool CollectionSource::connectServer()
{
    connection.reset(mpd_connection_new(host.constData(), unsigned(port), connectionTimeoutMs));
    if (!connection) {
        lastError = QStringLiteral("cannot connect to %1:%2")
                            .arg(QString::fromLatin1(host))
                            .arg(port);
        return false;
    }
    mpd_connection *c = connection.get();
    if (mpd_connection_get_error(c) != MPD_ERROR_SUCCESS
        || !MpdClientLogin::sendPassword(c, password.constData()))
        return fail();
    // A server before 0.21 knows no "tagtypes clear" and sends every tag: only slower.
    if ((!mpd_run_clear_tag_types(c)
         || !mpd_run_enable_tag_types(c, listedTags, std::size(listedTags)))
        && !mpd_connection_clear_error(c))
        return fail();
    // Command lists go out whole at once, however long.
    setSocketOption(c, TCP_NODELAY);
    return true;
}

// Keeps the connection's error text and drops the connection, whose state is unknown.
bool CollectionSource::fail()
{
    mpd_connection *c = connection.get();
    if (c && mpd_connection_get_error(c) != MPD_ERROR_SUCCESS) {
        lastErrorCode = mpd_connection_get_error(c);
        const QString message = QString::fromUtf8(mpd_connection_get_error_message(c));
        lastError = mpd_connection_get_error(c) == MPD_ERROR_SERVER
                ? QStringLiteral("MPD Error %1 '%2'")
                          .arg(int(mpd_connection_get_server_error(c)))
                          .arg(message)
                : message;
        // Not necessarily the end: a refused listing is asked again in pieces.
        qCDebug(lcCollection).noquote() << "collection listing:" << lastError;
    }
    connection.reset();
    return false;
}

// mpd writes a long answer in pieces, and its Nagle algorithm holds back the last
// piece until the ones before are acknowledged, while a client that has just sent
// a request delays its acknowledgements (40 ms on Linux): set after every request,
// since sending makes the kernel delay again, and now and then while reading.
void CollectionSource::acknowledgeAtOnce()
{
    setSocketOption(connection.get(), TCP_QUICKACK);
}

// Up to the end of the current answer (its list_OK or OK).
bool CollectionSource::readAnswer(ListingAnswer *answer)
{
    mpd_connection *c = connection.get();
    int lines = 0;
    while (mpd_pair *pair = mpd_recv_pair(c)) {
        answer->add(pair->name, pair->value);
        mpd_return_pair(c, pair);
        if (++lines % linesBetweenChecks == 0) {
            if (interrupted())
                return false;
            acknowledgeAtOnce();
        }
    }
    return mpd_connection_get_error(c) == MPD_ERROR_SUCCESS || fail();
}

bool CollectionSource::databaseUpdateTime(quint32 *updateTime)
{
    mpd_stats *stats = connection ? mpd_run_stats(connection.get()) : nullptr;
    if (!stats)
        return fail();
    *updateTime = quint32(mpd_stats_get_db_update_time(stats));
    totalSongs = int(qMin<unsigned>(mpd_stats_get_number_of_songs(stats), INT_MAX));
    mpd_stats_free(stats);
    return true;
}

int CollectionSource::songCount() const
{
    return totalSongs;
}

QString CollectionSource::errorText() const
{
    return lastError;
}

bool CollectionSource::listSongs(const ListingSink &listingSink)
{
    sink = &listingSink;
    sinkStopped = false;
    unreadable.clear();
    const bool complete = connection && listTree({QByteArray(), totalSongs}) && flush();
    sink = nullptr;
    batch.clear();
    batchSongs = 0;
    return complete;
}

bool CollectionSource::listTree(const Request &request)
{
    if (request.expectedSongs > songsPerListing)
        return flush() && listDirectory(request);
    if (batchSongs + request.expectedSongs > songsPerListing && !flush())
        return false;
    batch.append(request);
    batchSongs += request.expectedSongs;
    return true;
}

bool CollectionSource::flush()
{
    batchSongs = 0;
    return batch.isEmpty() || listBatch(std::exchange(batch, {}));
}

// A recursive listing gives a directory's own songs before its subdirectories;
// keeping that order makes a listing in pieces equal to a whole one.
bool CollectionSource::listDirectory(const Request &request)
{
    ListingAnswer answer;
    if (!askDirectory(request.path, &answer))
        return listUnreadable(request.path);
    MpdData *songs = answer.takeSongs();
    if (songs && !(*sink)(songs))
        return false;
    const int subdirectoryCount = qMax(1, int(answer.subdirectories().size()));
    const int expectedPerSubdirectory
            = qMax(0, request.expectedSongs - answer.songCount()) / subdirectoryCount + 1;
    for (const QByteArray &subdirectory : answer.subdirectories()) {
        if (interrupted() || !listTree({subdirectory, expectedPerSubdirectory}))
            return false;
    }
    return true;
}

bool CollectionSource::askDirectory(const QByteArray &path, ListingAnswer *answer)
{
    if (!mpd_send_list_meta(connection.get(), pathArgument(path)))
        return fail();
    acknowledgeAtOnce();
    return readAnswer(answer) && (mpd_response_finish(connection.get()) || fail());
}

// A directory whose own listing failed: libmpd reads lines up to 50,000 bytes, where
// libmpdclient stops at 4 KiB; past that, or when the server closes the connection on
// the directory, the directory is left out so that one bad folder costs only itself.
bool CollectionSource::listUnreadable(const QByteArray &path)
{
    const bool tooLong = lastErrorCode == MPD_ERROR_MALFORMED;
    if (interrupted() || !connectServer())
        return false;
    if (tooLong && listThroughLibmpd(path))
        return true;
    if (sinkStopped)
        return false;
    qCWarning(lcCollection).noquote() << "folder left out of the collection:" << path << lastError;
    unreadable.append({QString::fromUtf8(path), tooLong});
    return true;
}

// After a refusal the connection is gone: the directories not answered yet are
// asked again in halves, and one alone in its pieces: its own songs, then its
// subdirectories.
bool CollectionSource::listBatch(QList<Request> requests)
{
    int answered = 0;
    if (askBatch(requests, &answered))
        return true;
    if (sinkStopped || interrupted() || !connectServer())
        return false;
    qCInfo(lcCollection) << "listing refused; asking for smaller parts";
    requests.remove(0, answered);
    if (requests.isEmpty())  // only the final OK went missing
        return true;
    if (requests.size() == 1)
        return listDirectory(requests.first()) && flush();
    const qsizetype half = requests.size() / 2;
    return listBatch(requests.mid(0, half)) && listBatch(requests.mid(half));
}

bool CollectionSource::askBatch(const QList<Request> &requests, int *answered)
{
    mpd_connection *c = connection.get();
    bool sent = mpd_command_list_begin(c, true);
    for (const Request &request : requests)
        sent = sent && mpd_send_list_all_meta(c, pathArgument(request.path));
    if (!sent || !mpd_command_list_end(c))
        return fail();
    acknowledgeAtOnce();
    for (*answered = 0; *answered < requests.size(); ++*answered) {
        ListingAnswer answer;
        if (!readAnswer(&answer))
            return false;
        if (*answered + 1 < requests.size() && !mpd_response_next(c))
            return fail();
        MpdData *songs = answer.takeSongs();
        if (songs && !(*sink)(songs)) {
            sinkStopped = true;
            return false;
        }
    }
    return mpd_response_finish(c) || fail();
}

// libmpdclient refuses an answer line longer than its 4 KiB buffer (a very long title or
// path), which libmpd reads whole: such a directory is listed through libmpd instead.
bool CollectionSource::listThroughLibmpd(const QByteArray &path)
{
    qCInfo(lcCollection) << "an answer line too long; listing" << path << "through libmpd";
    bool complete = false;
    MpdData *songs = LibmpdListing::listRecursively(host, port, password, path, &complete);
    if (!complete) {
        lastError = QStringLiteral("listing of %1 through libmpd failed").arg(QString::fromUtf8(path));
        return false;
    }
    if (songs && !(*sink)(songs)) {
        sinkStopped = true;
        return false;
    }
    return true;
}
