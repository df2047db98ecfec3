// RawListing: the floor of the benchmark, the time the server itself needs to
// deliver every song of its database over a plain socket, with nothing parsed
// on our side but the directory names a walk needs. Any thread.
#ifndef RAWLISTING_H
#define RAWLISTING_H

#include <QByteArray>

class RawConnection;

class RawListing
{
public:
    // One "listallinfo": needs a server whose output buffer holds the whole answer.
    // Returns seconds, or a negative value when the server refused it.
    static double wholeListing(int port);
    // The requests the collection builder makes on a server with default
    // settings: "lsinfo" down the tree until a directory's expected share fits
    // in one "listallinfo". Returns seconds, or a negative value on a failure.
    static double programRequests(int port);

private:
    static bool listTree(RawConnection &connection, const QByteArray &path, int expectedSongs);
    static bool listDirectory(RawConnection &connection, const QByteArray &path, int expectedSongs);
};

#endif
