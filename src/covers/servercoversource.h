// ServerCoverSource: reads a song's cover from the MPD server (the picture embedded in the song,
// else the cover file of its folder) over a libmpdclient connection of its own, opened inside
// fetch() and closed there, or kept for the next fetch when asked to (a wall of covers asks for
// many in a row). Held by value by CoverFetcher and the album cover workers: fetch() runs on the
// worker's thread, abort() may come from any thread.
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
    // Chunks of 64 KiB bring a usual cover in a few round trips, without a long silence per chunk
    // on a slow link; servers before 0.22.4 keep their 8 KiB ones.
    static constexpr unsigned DEFAULT_CHUNK_BYTES = 64 * 1024;

    ServerCoverSource() = default;
    ~ServerCoverSource();
    ServerCoverSource(const ServerCoverSource &) = delete;
    ServerCoverSource &operator=(const ServerCoverSource &) = delete;

    // The setters only while no fetch() runs. An empty host means there is no server to ask.
    void setServer(const QString &host, int port, const QString &password);
    // Keeps the connection between fetches (closed by a failure, abort() or destruction).
    void setKeepConnection(bool keep);
    // The binarylimit asked of the server: bigger chunks, fewer round trips.
    void setChunkBytes(unsigned bytes);

    // A usable cover image, or nothing: no picture, a server without the commands or the
    // permission, a bad picture, a lost connection, the time limit or an abort.
    QByteArray fetch(const QString &songFile);
    // Whether the last fetch() ended without the server's answer (no connection, a lost one, the
    // time limit, an abort) rather than with "no picture": worth asking again later.
    bool lastFetchBroke() const { return broke; }

    // Ends a running fetch() at once and makes later ones return nothing until clearAbort().
    void abort();
    void clearAbort();

private:
    mpd_connection *open(const QDeadlineTimer &deadline);
    void close();
    int openSocket(const QDeadlineTimer &deadline);
    int connectTo(int family, const sockaddr *address, unsigned length,
                  const QDeadlineTimer &deadline);
    std::optional<QByteArray> readWelcome(int fd, const QDeadlineTimer &deadline) const;
    bool waitFor(int fd, short events, const QDeadlineTimer &deadline) const;
    QByteArray pictureOf(const QByteArray &uri,
                         const QDeadlineTimer &deadline);
    std::optional<QByteArray> receivePicture(const QByteArray &uri,
                                             bool embedded, const QDeadlineTimer &deadline);
    bool watch(int fd);
    void forget();

    QString host;
    int port = 0;
    QString password;
    bool keepConnection = false;
    unsigned chunkBytes = DEFAULT_CHUNK_BYTES;
    mpd_connection *connection = nullptr;  // between fetches only when kept
    bool broke = false;
    std::atomic<bool> aborted{false};
    std::atomic<bool> socketShut{false};  // by abort(): a kept connection is no longer usable
    QMutex socketMutex;  // guards activeSocket against its closing while abort() shuts it down
    int activeSocket = -1;
};

#endif
