#include "covers/servercoversource.h"

#include "covers/coverimage.h"
#include "covers/coverslog.h"
#include "core/mpdclientlogin.h"
#include "core/unixsocket.h"

#include <QFile>
#include <QMutexLocker>

#include <mpd/async.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// How often our own waits (connecting, the welcome line) look at abort(). libmpdclient's waits
// need no such step: abort() shuts the socket down, which wakes them at once.
const int ABORT_CHECK_MS = 50;
const int MAX_WELCOME_BYTES = 256;

unsigned remainingMs(const QDeadlineTimer &deadline)
{
    return unsigned(std::max<qint64>(1, deadline.remainingTime()));
}

// The number the server sent under `name`: nothing when the pair is missing, -1 when it is not a
// number.
std::optional<qint64> receiveNumber(mpd_connection *connection, const char *name)
{
    mpd_pair *pair = mpd_recv_pair_named(connection, name);
    if (!pair)
        return std::nullopt;
    bool ok = false;
    const qint64 value = QByteArray(pair->value).toLongLong(&ok);
    mpd_return_pair(connection, pair);
    return ok && value >= 0 ? value : -1;
}

// Whether the connection takes another command. A refusal (no such file, no permission, a
// command older servers don't know) leaves it usable.
bool recovered(mpd_connection *connection)
{
    const mpd_error error = mpd_connection_get_error(connection);
    return error == MPD_ERROR_SUCCESS
            || (error == MPD_ERROR_SERVER && mpd_connection_clear_error(connection));
}

}  // namespace

ServerCoverSource::~ServerCoverSource()
{
    close();
}

void ServerCoverSource::setKeepConnection(bool keep)
{
    keepConnection = keep;
}

void ServerCoverSource::setChunkBytes(unsigned bytes)
{
    chunkBytes = bytes;
}

void ServerCoverSource::setServer(const QString &host, int port, const QString &password)
{
    this->host = host;
    this->port = port;
    this->password = password;
    close();
}

QByteArray ServerCoverSource::fetch(const QString &songFile)
{
    broke = false;
    if (host.isEmpty() || songFile.isEmpty())
        return QByteArray();
    const QDeadlineTimer deadline(TIME_LIMIT_MS);
    if (socketShut.exchange(false))
        close();
    if (!connection)
        connection = open(deadline);
    broke = !connection;
    if (!connection)
        return QByteArray();
    const QByteArray picture = pictureOf(songFile.toUtf8(), deadline);
    broke = aborted || deadline.hasExpired()
            || mpd_connection_get_error(connection) != MPD_ERROR_SUCCESS;
    if (!keepConnection || broke)
        close();
    return picture;
}

// A connection that is logged in and has asked for big chunks; null when that failed.
mpd_connection *ServerCoverSource::open(const QDeadlineTimer &deadline)
{
    const int fd = openSocket(deadline);
    if (fd < 0)
        return nullptr;
    const std::optional<QByteArray> welcome = readWelcome(fd, deadline);
    mpd_async *async = welcome ? mpd_async_new(fd) : nullptr;
    connection = async ? mpd_connection_new_async(async, welcome->constData()) : nullptr;
    if (!connection) {
        forget();
        async ? mpd_async_free(async) : void(::close(fd));
        return nullptr;
    }
    mpd_connection_set_timeout(connection, remainingMs(deadline));
    // A wrong password means no covers from this server; the window reports its own login.
    if (mpd_connection_get_error(connection) != MPD_ERROR_SUCCESS
        || !MpdClientLogin::sendPassword(connection, password.toLatin1().constData())
        || (!mpd_run_binarylimit(connection, chunkBytes) && !recovered(connection)))
        close();
    return connection;
}

void ServerCoverSource::close()
{
    if (!connection)
        return;
    // Before the socket closes, so that abort() never shuts down a descriptor reused meanwhile.
    forget();
    mpd_connection_free(connection);
    connection = nullptr;
}

void ServerCoverSource::abort()
{
    const QMutexLocker locker(&socketMutex);
    aborted = true;
    if (activeSocket >= 0) {
        ::shutdown(activeSocket, SHUT_RDWR);
        socketShut = true;
    }
}

void ServerCoverSource::clearAbort()
{
    aborted = false;
}

// Our own non-blocking connect, so that abort() and the time limit also end a connection attempt
// to a server that does not answer; libmpdclient's would block for its whole timeout.
int ServerCoverSource::openSocket(const QDeadlineTimer &deadline)
{
    if (host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'))) {
        UnixSocket::Address address;
        if (!UnixSocket::addressOf(host, address))
            return -1;
        return connectTo(AF_UNIX, address.get(), address.length, deadline);
    }
    const QByteArray name = QFile::encodeName(host);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    // The window's own connection has just looked up the same name.
    if (getaddrinfo(name.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (const addrinfo *candidate = found; candidate && fd < 0 && !aborted;
         candidate = candidate->ai_next)
        fd = connectTo(candidate->ai_family, candidate->ai_addr, candidate->ai_addrlen, deadline);
    freeaddrinfo(found);
    return fd;
}

int ServerCoverSource::connectTo(int family, const sockaddr *address, unsigned length,
                                 const QDeadlineTimer &deadline)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (!watch(fd)) {
        ::close(fd);
        return -1;
    }
    int error = 0;
    socklen_t errorSize = sizeof error;
    if ((::connect(fd, address, length) == 0 || errno == EINPROGRESS)
        && waitFor(fd, POLLOUT, deadline)
        && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorSize) == 0 && error == 0)
        return fd;
    qCDebug(lcCovers) << "Cannot connect to" << host << port
                      << std::strerror(error ? error : errno);
    forget();
    ::close(fd);
    return -1;
}

// Read byte by byte, so that nothing after the line is taken away from libmpdclient.
std::optional<QByteArray> ServerCoverSource::readWelcome(int fd,
                                                         const QDeadlineTimer &deadline) const
{
    QByteArray welcome;
    char byte = 0;
    while (welcome.size() < MAX_WELCOME_BYTES && waitFor(fd, POLLIN, deadline)
           && ::recv(fd, &byte, 1, 0) == 1) {
        if (byte == '\n')
            return welcome;
        welcome += byte;
    }
    return std::nullopt;
}

bool ServerCoverSource::waitFor(int fd, short events, const QDeadlineTimer &deadline) const
{
    pollfd watched{fd, events, 0};
    while (!aborted && !deadline.hasExpired()) {
        const qint64 step = std::min<qint64>(ABORT_CHECK_MS, deadline.remainingTime());
        const int ready = ::poll(&watched, 1, int(step));
        if (ready > 0)
            return true;  // errors show in the read or connect result that follows
        if (ready < 0 && errno != EINTR)
            return false;
    }
    return false;
}

QByteArray ServerCoverSource::pictureOf(const QByteArray &uri,
                                        const QDeadlineTimer &deadline)
{
    for (const bool embedded : {true, false}) {
        const std::optional<QByteArray> picture
                = receivePicture(uri, embedded, deadline);
        if (!picture)
            return QByteArray();
        if (!picture->isEmpty() && CoverImage::isUsable(*picture))
            return *picture;
    }
    return QByteArray();
}

// One picture, chunk by chunk. Nothing when the connection cannot be used any more; an empty
// picture when the server has none of this kind, refuses, or it is too large.
std::optional<QByteArray> ServerCoverSource::receivePicture(const QByteArray &uri, bool embedded,
                                                            const QDeadlineTimer &deadline)
{
    QByteArray picture;
    for (;;) {
        if (aborted || deadline.hasExpired())
            return std::nullopt;
        mpd_connection_set_timeout(connection, remainingMs(deadline));
        const unsigned offset = unsigned(picture.size());
        const bool sent = embedded ? mpd_send_readpicture(connection, uri.constData(), offset)
                                   : mpd_send_albumart(connection, uri.constData(), offset);
        if (!sent)
            return std::nullopt;
        const std::optional<qint64> total = receiveNumber(connection, "size");
        if (!total)
            return recovered(connection) ? std::optional(QByteArray()) : std::nullopt;
        const std::optional<qint64> length = receiveNumber(connection, "binary");
        if (*total < 0 || !length || *length < 0 || *length > chunkBytes
            || *length > *total - offset)
            return std::nullopt;
        picture.resize(offset + *length);
        if (!mpd_recv_binary(connection, picture.data() + offset, size_t(*length))
            || !mpd_response_finish(connection))
            return std::nullopt;
        // The first chunk tells the size: a picture too large is not read on.
        if (*total > CoverImage::MAX_BYTES || *length == 0)
            return QByteArray();
        if (picture.size() == *total)
            return picture;
    }
}

bool ServerCoverSource::watch(int fd)
{
    const QMutexLocker locker(&socketMutex);
    if (aborted)
        return false;
    activeSocket = fd;
    return true;
}

void ServerCoverSource::forget()
{
    const QMutexLocker locker(&socketMutex);
    activeSocket = -1;
}
