#include "serveridle.h"

#include <QElapsedTimer>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace {

bool sendAll(int socket, const QByteArray &line)
{
    qsizetype sent = 0;
    while (sent < line.size()) {
        const ssize_t now = ::send(socket, line.constData() + sent, size_t(line.size() - sent),
                                   MSG_NOSIGNAL);
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0)
            return false;
        sent += now;
    }
    return true;
}

}  // namespace

bool ServerIdle::enter(int socket)
{
    if (socket < 0 || waiting)
        return waiting;
    received.clear();
    waiting = sendAll(socket, QByteArrayLiteral("idle\n"));
    return waiting;
}

std::optional<QStringList> ServerIdle::leave(int socket, int timeoutMs)
{
    if (!waiting)
        return QStringList();
    // The server ignores a noidle that comes after its answer: there is one "OK" either way.
    if (!sendAll(socket, QByteArrayLiteral("noidle\n"))) {
        waiting = false;
        return std::nullopt;
    }
    return collect(socket, timeoutMs);
}

std::optional<QStringList> ServerIdle::collect(int socket, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // The answer is "changed: NAME" lines and "OK"; a deadline on the whole of it.
    while (!received.endsWith("OK\n") && !received.startsWith("ACK")) {
        const int left = timeoutMs - int(clock.elapsed());
        pollfd readable{socket, POLLIN, 0};
        char buffer[512];
        const int ready = left > 0 ? ::poll(&readable, 1, left) : 0;
        const ssize_t count
                = ready > 0 ? ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT) : ssize_t(-1);
        if (count < 0 && ready != 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0) {
            waiting = false;
            return std::nullopt;
        }
        received.append(buffer, count);
    }
    waiting = false;
    QStringList changed;
    for (const QByteArray &line : received.split('\n')) {
        if (line.startsWith("changed: "))
            changed << QString::fromLatin1(line.mid(9));
    }
    received.clear();
    return changed;
}
