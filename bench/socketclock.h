// SocketClock: how long one thread spends inside network system calls on the sockets to an MPD
// server. The benchmark executable defines the socket calls itself (read, recv, send, poll,
// select, connect and their kin) and forwards them to the C library, so libmpd's and Qt's calls
// pass through here; while counting is on and the caller is the watched thread, the time of every
// call on a TCP socket whose peer port is one of the watched ports is added up. Global state,
// used by one benchmark probe; any thread may make the calls.
#ifndef SOCKETCLOCK_H
#define SOCKETCLOCK_H

#include <QList>

namespace SocketClock {
// Watches the calling thread's calls to these loopback ports from now on (at most four);
// clears the totals and turns counting on.
void watch(const QList<quint16> &ports);
// Off while the probe itself talks to the server from the watched thread.
void setCounting(bool on);
double totalMs();
qint64 calls();
}  // namespace SocketClock

#endif
