#include "rawlisting.h"

#include "rawconnection.h"

#include <QElapsedTimer>
#include <QList>

namespace {

// The collection builder's limit of songs per listing (collectionsource.cpp).
constexpr int songsPerListing = 10000;

int songCount(RawConnection &connection)
{
    QByteArray stats;
    if (!connection.answer("stats\n", &stats))
        return -1;
    for (const QByteArray &line : stats.split('\n')) {
        if (line.startsWith("songs: "))
            return line.mid(7).toInt();
    }
    return -1;
}

QByteArray command(const char *name, const QByteArray &path)
{
    return path.isEmpty() ? QByteArray(name) + '\n'
                          : QByteArray(name) + ' ' + RawConnection::quoted(path) + '\n';
}

}  // namespace

struct RawListing::Walk
{
    RawConnection &connection;
    QByteArray batch;
    int batchSongs = 0;
};

double RawListing::wholeListing(int port, qint64 *bytes)
{
    QElapsedTimer timer;
    timer.start();
    RawConnection connection;
    const qint64 received = connection.open(port) ? connection.discardAnswer("listallinfo\n") : -1;
    if (bytes)
        *bytes = received;
    return received < 0 ? -1 : timer.nsecsElapsed() / 1e9;
}

double RawListing::programRequests(int port)
{
    QElapsedTimer timer;
    timer.start();
    RawConnection connection;
    if (!connection.open(port)
        || connection.discardAnswer("command_list_begin\ntagtypes clear\n"
                                    "tagtypes enable Artist Album Title Track Date\n"
                                    "command_list_end\n")
                < 0)
        return -1;
    const int songs = songCount(connection);
    Walk walk{connection, {}, 0};
    if (songs < 0 || !listTree(walk, QByteArray(), songs) || !flush(walk))
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

bool RawListing::flush(Walk &walk)
{
    if (walk.batch.isEmpty())
        return true;
    const QByteArray list = "command_list_ok_begin\n" + walk.batch + "command_list_end\n";
    walk.batch.clear();
    walk.batchSongs = 0;
    return walk.connection.discardAnswer(list) >= 0;
}

bool RawListing::listTree(Walk &walk, const QByteArray &path, int expectedSongs)
{
    if (expectedSongs > songsPerListing)
        return flush(walk) && listDirectory(walk, path, expectedSongs);
    if (walk.batchSongs + expectedSongs > songsPerListing && !flush(walk))
        return false;
    walk.batch += command("listallinfo", path);
    walk.batchSongs += expectedSongs;
    return true;
}

bool RawListing::listDirectory(Walk &walk, const QByteArray &path, int expectedSongs)
{
    QByteArray listing;
    if (!walk.connection.answer(command("lsinfo", path), &listing))
        return false;
    QList<QByteArray> subdirectories;
    int songs = 0;
    for (const QByteArray &line : listing.split('\n')) {
        if (line.startsWith("directory: "))
            subdirectories << line.mid(11);
        else if (line.startsWith("file: "))
            ++songs;
    }
    const int perSubdirectory
            = qMax(0, expectedSongs - songs) / qMax(1, int(subdirectories.size())) + 1;
    for (const QByteArray &subdirectory : subdirectories) {
        if (!listTree(walk, subdirectory, perSubdirectory))
            return false;
    }
    return true;
}
