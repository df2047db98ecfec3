#include "rawconnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// The server's own time, without the delayed acknowledgements that would hold
// back the last piece of every long answer (as the collection builder does).
void acknowledgeAtOnce(int socket)
{
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

// An answer ends with a line "OK" or "ACK ...": look only at its last bytes.
enum class Ending { None, Ok, Ack };

Ending endingOf(const char *tail, qsizetype tailSize, qsizetype lastLineStart)
{
    if (tailSize >= 3 && std::memcmp(tail + tailSize - 3, "OK\n", 3) == 0
        && (tailSize == 3 || tail[tailSize - 4] == '\n'))
        return Ending::Ok;
    if (lastLineStart >= 0 && std::memcmp(tail + lastLineStart, "ACK ", 4) == 0)
        return Ending::Ack;
    return Ending::None;
}

}  // namespace

RawConnection::~RawConnection()
{
    if (socket >= 0)
        ::close(socket);
}

bool RawConnection::open(int port)
{
    socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return false;
    char greeting[256];
    const ssize_t received = ::recv(socket, greeting, sizeof greeting, 0);
    return received > 7 && std::memcmp(greeting, "OK MPD ", 7) == 0;
}

QByteArray RawConnection::quoted(const QByteArray &argument)
{
    QByteArray escaped = argument;
    escaped.replace("\\", "\\\\").replace("\"", "\\\"");
    return '"' + escaped + '"';
}

bool RawConnection::sendAll(const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(socket, bytes.constData() + sent, bytes.size() - sent, 0);
        if (written <= 0)
            return false;
        sent += written;
    }
    acknowledgeAtOnce(socket);
    return true;
}

qint64 RawConnection::discardAnswer(const QByteArray &commands)
{
    if (!sendAll(commands))
        return -1;
    return receiveAnswer(nullptr);
}

bool RawConnection::answer(const QByteArray &commands, QByteArray *received)
{
    received->clear();
    if (!sendAll(commands) || receiveAnswer(received) < 0)
        return false;
    received->chop(3);
    return true;
}

qint64 RawConnection::receiveAnswer(QByteArray *kept)
{
    // A large buffer, so a big listing costs few system calls.
    static thread_local char buffer[1 << 18];
    // The last bytes seen, across reads: enough to hold an answer's last line.
    QByteArray tail;
    qint64 total = 0;
    for (;;) {
        const ssize_t size = ::recv(socket, buffer, sizeof buffer, 0);
        if (size <= 0)
            return -1;
        acknowledgeAtOnce(socket);
        total += size;
        if (kept)
            kept->append(buffer, size);
        tail.append(buffer + qMax<ssize_t>(0, size - 512), qMin<ssize_t>(size, 512));
        if (tail.size() > 512)
            tail.remove(0, tail.size() - 512);
        if (buffer[size - 1] != '\n')
            continue;
        const qsizetype lineStart = tail.lastIndexOf('\n', tail.size() - 2) + 1;
        switch (endingOf(tail.constData(), tail.size(), lineStart)) {
        case Ending::Ok:
            return total;
        case Ending::Ack:
            return -1;
        case Ending::None:
            break;
        }
    }
}
