// SocketClock: how long each thread spends inside network system calls on the sockets to an MPD
// server. The benchmark executable defines the socket calls itself (read, recv, send, poll,
// select, connect and their kin) and forwards them to the C library, so libmpd's and Qt's calls
// pass through here; while counting is on, the time of every call on a TCP socket whose peer port
// is one of the watched ports is added up per calling thread: the watched thread's apart, so that
// a 0 there stands next to the other threads' calls on the same sockets. Global state, used by
// one benchmark probe; any thread may make the calls.
#ifndef SOCKETCLOCK_H
#define SOCKETCLOCK_H

#include <QByteArray>
#include <QList>

namespace SocketClock {
struct Totals
{
    // The thread's name as the kernel has it (at most 15 bytes; Qt sets it from the QThread's
    // object name).
    QByteArray thread;
    double ms = 0;
    qint64 calls = 0;
};
// Counts calls to these loopback ports from now on (at most four); the calling thread is the
// watched one. Clears the totals and turns counting on.
void watch(const QList<quint16> &ports);
void setCounting(bool on);
// The watched thread's.
double totalMs();
qint64 calls();
// Every other thread that made a counted call since watch(), with its totals.
QList<Totals> otherThreads();
}  // namespace SocketClock

#endif
