// RawConnection: a plain blocking socket to an MPD server on loopback, for the
// benchmark's floor (the time the server needs to deliver a listing, with no
// parsing on our side) and for filling the server's playlist. Used by one thread.
#ifndef RAWCONNECTION_H
#define RAWCONNECTION_H

#include <QByteArray>
#include <QList>

class RawConnection
{
public:
    RawConnection() = default;
    ~RawConnection();
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    // Connects to 127.0.0.1:port and reads the greeting.
    bool open(int port);
    // Sends the command lines and skips the answer up to its final OK; returns
    // the bytes received, or -1 on ACK or a broken connection.
    qint64 discardAnswer(const QByteArray &commands);
    // Sends the command lines and returns the whole answer (without the final OK).
    bool answer(const QByteArray &commands, QByteArray *received);

    static QByteArray quoted(const QByteArray &argument);

private:
    bool sendAll(const QByteArray &bytes);
    // Reads until the answer's last line; keeps the bytes when `kept` is set.
    qint64 receiveAnswer(QByteArray *kept);

    int socket = -1;
};

#endif
