#include "core/serveridle.h"

#include "core/rawanswer.h"

bool ServerIdle::enter(int socket)
{
    if (socket < 0 || waiting)
        return waiting;
    waiting = RawAnswer::send(socket, QByteArrayLiteral("idle\n"));
    return waiting;
}

std::optional<QStringList> ServerIdle::leave(int socket, int timeoutMs)
{
    if (!waiting)
        return QStringList();
    // The server ignores a noidle that comes after its answer: there is one "OK" either way.
    if (!RawAnswer::send(socket, QByteArrayLiteral("noidle\n"))) {
        waiting = false;
        return std::nullopt;
    }
    return collect(socket, timeoutMs);
}

std::optional<QStringList> ServerIdle::collect(int socket, int timeoutMs)
{
    waiting = false;
    // The answer is "changed: NAME" lines and "OK".
    const std::optional<RawAnswer::Answer> answer = RawAnswer::read(socket, timeoutMs);
    if (!answer)
        return std::nullopt;
    QStringList changed;
    for (const QByteArray &line : answer->lines) {
        if (line.startsWith("changed: "))
            changed << QString::fromLatin1(line.mid(9));
    }
    return changed;
}
