#include "core/libmpdlink.h"

#include <libmpd/libmpd.h>
// The header wants size_t declared, would redeclare strndup against the C library's, and has no
// C++ guard.
#include <cstddef>
#define HAVE_STRNDUP 1
extern "C" {
#include <libmpd/libmpd-internal.h>
}

#include "core/unixsocket.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cstdlib>

#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// The greeting line, read byte by byte so that nothing after it is taken from libmpd.
bool readGreeting(int fd, const QDeadlineTimer &deadline, QByteArray &line)
{
    char byte = 0;
    while (line.size() < MPD_BUFFER_MAX_LENGTH) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, int(std::max<qint64>(0, deadline.remainingTime()))) != 1
            || ::read(fd, &byte, 1) != 1)
            return false;
        if (byte == '\n')
            return true;
        line.append(byte);
    }
    return false;
}

// libmpd connects to socket paths only. For "@name" (Linux's abstract namespace) the socket is
// opened and the greeting read here, into a connection set up as mpd_newConnection sets one up
// (zeroed, the version from the greeting, done processing); libmpd frees it like its own.
mpd_Connection *abstractConnection(const QString &host, float seconds)
{
    const QDeadlineTimer deadline(qint64(seconds * 1000));
    UnixSocket::Address address;
    const int fd = UnixSocket::addressOf(host, address)
            ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)
            : -1;
    QByteArray greeting;
    if (fd < 0 || ::connect(fd, address.get(), address.length) != 0
        || !readGreeting(fd, deadline, greeting) || !greeting.startsWith(MPD_WELCOME_MESSAGE)) {
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    auto *connection = static_cast<mpd_Connection *>(std::calloc(1, sizeof(mpd_Connection)));
    if (!connection) {
        ::close(fd);
        return nullptr;
    }
    connection->sock = fd;
    const QList<QByteArray> version = greeting.mid(int(sizeof MPD_WELCOME_MESSAGE) - 1).split('.');
    for (int i = 0; i < 3; ++i)
        connection->version[i] = version.value(i).toInt();
    connection->doneProcessing = 1;
    return connection;
}

}  // namespace

int LibmpdLink::socketOf(MpdObj *mpd)
{
    return mpd && mpd->connection && mpd_check_connected(mpd) ? mpd->connection->sock : -1;
}

bool LibmpdLink::connectWithin(MpdObj *mpd, const QByteArray &host, int port, float seconds)
{
    QElapsedTimer clock;
    clock.start();
    const bool abstract = host.startsWith('@');
    mpd_Connection *connection = abstract
            ? abstractConnection(QString::fromLocal8Bit(host), seconds)
            : mpd_newConnection(host.constData(), port, seconds);
    if (abstract && !connection)
        return false;
    // Handed over on failure too: libmpd reports its error and frees it.
    if (connection)
        mpd_setConnectionTimeout(connection, (seconds - float(clock.elapsed()) / 1000.0f) / 2);
    return mpd_connect_real(mpd, connection) == MPD_OK;
}

void LibmpdLink::hideDatabaseUpdateEnd(MpdObj *mpd)
{
    mpd->CurrentState.updatingDb = 0;
}

void LibmpdLink::sendWithoutDelay(MpdObj *mpd)
{
    const int on = 1;
    const int socket = socketOf(mpd);
    if (socket >= 0)
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool LibmpdLink::sendMoveList(MpdObj *mpd, const QList<QPair<int, int>> &moves)
{
    if (!mpd_check_connected(mpd) || mpd_lock_conn(mpd) != MPD_OK)
        return false;
    mpd_sendCommandListBegin(mpd->connection);
    for (const QPair<int, int> &move : moves)
        mpd_sendMoveCommand(mpd->connection, move.first, move.second);
    mpd_sendCommandListEnd(mpd->connection);
    mpd_finishCommand(mpd->connection);
    const bool refused = mpd->connection->error != 0;
    mpd_unlock_conn(mpd);
    // Hands a refusal to the error hook, like every other libmpd command.
    mpd_check_error(mpd);
    return !refused && mpd_check_connected(mpd);
}

MpdData *LibmpdLink::appendEntry(MpdData *last)
{
    return mpd_new_data_struct_append(last);
}
