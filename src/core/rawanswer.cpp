#include "core/rawanswer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <poll.h>
#include <sys/socket.h>

namespace {

// Collects the bytes of one line, keeping no more than MaxLineBytes of it.
struct LineCollector
{
    QByteArray line;
    bool cut = false;

    void add(const char *bytes, qsizetype count)
    {
        const qsizetype room = RawAnswer::MaxLineBytes - line.size();
        line.append(bytes, std::min(count, std::max<qsizetype>(room, 0)));
        cut = cut || count > room;
    }
    QByteArray take()
    {
        QByteArray done = std::exchange(line, {});
        // A NUL inside a value would end it for every C string reader after this one.
        done.replace('\0', ' ');
        if (std::exchange(cut, false))
            done.append("\xe2\x80\xa6");
        return done;
    }
};

}  // namespace

bool RawAnswer::send(int socket, const QByteArray &text)
{
    qsizetype sent = 0;
    while (sent < text.size()) {
        const ssize_t now = ::send(socket, text.constData() + sent, size_t(text.size() - sent),
                                   MSG_NOSIGNAL);
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0)
            return false;
        sent += now;
    }
    return true;
}

std::optional<RawAnswer::Answer> RawAnswer::read(int socket, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    Answer answer;
    LineCollector current;
    char buffer[16384];
    while (true) {
        const int left = timeoutMs - int(clock.elapsed());
        pollfd readable{socket, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&readable, 1, left) : 0;
        const ssize_t count = ready > 0 ? ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT) : -1;
        if (count < 0 && ready != 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0)
            return std::nullopt;
        for (const char *start = buffer, *end = buffer + count; start < end;) {
            const char *newline = static_cast<const char *>(memchr(start, '\n', size_t(end - start)));
            current.add(start, (newline ? newline : end) - start);
            if (!newline)
                break;
            start = newline + 1;
            QByteArray line = current.take();
            if (line == "OK")
                return answer;
            if (line.startsWith("ACK ")) {
                answer.refusal = line;
                return answer;
            }
            answer.lines.append(std::move(line));
        }
    }
}

QByteArray RawAnswer::request(const char *command, const QList<QByteArray> &arguments)
{
    QByteArray line(command);
    for (QByteArray argument : arguments) {
        argument.replace('\\', "\\\\").replace('"', "\\\"");
        line += " \"" + argument + '"';
    }
    return line + '\n';
}
