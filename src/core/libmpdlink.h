// LibmpdLink: the few things the program does with a libmpd connection that libmpd's public
// interface does not offer (its socket, command lists of moves, building song lists). The one
// place that reaches into libmpd's private structures. Any thread: each call only touches the
// connection it is given, on the thread that owns it.
#ifndef LIBMPDLINK_H
#define LIBMPDLINK_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPair>

typedef struct _MpdObj MpdObj;
typedef struct _MpdData MpdData;

namespace LibmpdLink {

// The connection's socket, or -1 without one.
int socketOf(MpdObj *mpd);
// Connects (socket, greeting, libmpd's first queries) within `seconds` in all. libmpd's own
// connect waits up to its timeout for the greeting and then again for each of its first two
// queries ("commands", "notcommands"), the second even after the first timed out: a server that
// greeted and fell silent held an attempt for twice the timeout. Here the greeting has the whole
// time and the two queries share what is left. `host` may also be a socket path or "@name", an
// abstract socket, which libmpd alone cannot reach.
bool connectWithin(MpdObj *mpd, const QByteArray &host, int port, float seconds);
// libmpd reads the server's statistics when its status shows a database update ended, and then
// reads the status it freed if the link broke during that read (a crash). Before each status
// read this makes libmpd take any update as just begun, so that it never reads them: the
// connection tells an update's end itself.
void hideDatabaseUpdateEnd(MpdObj *mpd);
// Requests go out at once (TCP_NODELAY): libmpd writes some requests in more than one piece.
void sendWithoutDelay(MpdObj *mpd);
// "move FROM TO" for each pair, in one command list. False when the server refused one or the
// connection broke; the error reaches the connection's error hook like any libmpd error.
bool sendMoveList(MpdObj *mpd, const QList<QPair<int, int>> &moves);
// A new entry behind `last` (or a new list), as libmpd's own lists are built.
MpdData *appendEntry(MpdData *last);

}  // namespace LibmpdLink

#endif
