#include "core/libmpdlink.h"

#include <libmpd/libmpd.h>
// The header wants size_t declared, would redeclare strndup against the C library's, and has no
// C++ guard.
#include <cstddef>
#define HAVE_STRNDUP 1
extern "C" {
#include <libmpd/libmpd-internal.h>
}

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

int LibmpdLink::socketOf(MpdObj *mpd)
{
    return mpd && mpd->connection && mpd_check_connected(mpd) ? mpd->connection->sock : -1;
}

bool LibmpdLink::connectWithin(MpdObj *mpd, const QByteArray &host, int port, float seconds)
{
    QElapsedTimer clock;
    clock.start();
    mpd_Connection *connection = mpd_newConnection(host.constData(), port, seconds);
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
