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

}  // namespace

double RawListing::wholeListing(int port)
{
    QElapsedTimer timer;
    timer.start();
    RawConnection connection;
    if (!connection.open(port) || connection.discardAnswer("listallinfo\n") < 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

double RawListing::programRequests(int port)
{
    QElapsedTimer timer;
    timer.start();
    RawConnection connection;
    if (!connection.open(port))
        return -1;
    const int songs = songCount(connection);
    if (songs < 0 || !listTree(connection, QByteArray(), songs))
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

bool RawListing::listTree(RawConnection &connection, const QByteArray &path, int expectedSongs)
{
    if (expectedSongs > songsPerListing)
        return listDirectory(connection, path, expectedSongs);
    const QByteArray command = path.isEmpty() ? QByteArray("listallinfo\n")
                                              : "listallinfo " + RawConnection::quoted(path) + '\n';
    return connection.discardAnswer(command) >= 0;
}

bool RawListing::listDirectory(RawConnection &connection, const QByteArray &path, int expectedSongs)
{
    QByteArray listing;
    const QByteArray command = path.isEmpty() ? QByteArray("lsinfo\n")
                                              : "lsinfo " + RawConnection::quoted(path) + '\n';
    if (!connection.answer(command, &listing))
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
        if (!listTree(connection, subdirectory, perSubdirectory))
            return false;
    }
    return true;
}
