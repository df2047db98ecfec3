// ServerCoverSource: reads a song's cover from the MPD server (the picture embedded in the song,
// else the cover file of its folder) over a short-lived libmpdclient connection of its own, opened
// and closed inside fetch(). Held by value by CoverFetcher: fetch() runs on the cover worker
// thread, abort() may come from any thread.
#ifndef SERVERCOVERSOURCE_H
#define SERVERCOVERSOURCE_H

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMutex>
#include <QString>

#include <atomic>
#include <optional>

struct mpd_connection;
struct sockaddr;

class ServerCoverSource
{
public:
    static constexpr int TIME_LIMIT_MS = 15000;  // per cover, connecting included

    // Only while no fetch() runs. An empty host means there is no server to ask.
    void setServer(const QString &host, int port, const QString &password);

    // A usable cover image, or nothing: no picture, a server without the commands or the
    // permission, a bad picture, a lost connection, the time limit or an abort.
    QByteArray fetch(const QString &songFile);

    // Ends a running fetch() at once and makes later ones return nothing until clearAbort().
    void abort();
    void clearAbort();

private:
    int openSocket(const QDeadlineTimer &deadline);
    int connectTo(int family, const sockaddr *address, unsigned length,
                  const QDeadlineTimer &deadline);
    std::optional<QByteArray> readWelcome(int fd, const QDeadlineTimer &deadline) const;
    bool waitFor(int fd, short events, const QDeadlineTimer &deadline) const;
    QByteArray pictureOf(mpd_connection *connection, const QByteArray &uri,
                         const QDeadlineTimer &deadline);
    std::optional<QByteArray> receivePicture(mpd_connection *connection, const QByteArray &uri,
                                             bool embedded, const QDeadlineTimer &deadline);
    bool watch(int fd);
    void forget();

    QString host;
    int port = 0;
    QString password;
    std::atomic<bool> aborted{false};
    QMutex socketMutex;  // guards activeSocket against its closing while abort() shuts it down
    int activeSocket = -1;
};

#endif
