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
    // Returns seconds, or a negative value when the server refused it; `bytes`
    // gets the answer's size.
    static double wholeListing(int port, qint64 *bytes = nullptr);
    // The requests the collection builder makes on a server with default
    // settings: only the tags it reads, "lsinfo" down the tree until a
    // directory's expected share fits in one "listallinfo", and those in
    // command lists of up to as many expected songs. Returns seconds, or a
    // negative value on a failure.
    static double programRequests(int port);

private:
    struct Walk;
    static bool listTree(Walk &walk, const QByteArray &path, int expectedSongs);
    static bool listDirectory(Walk &walk, const QByteArray &path, int expectedSongs);
    static bool flush(Walk &walk);
};

#endif
