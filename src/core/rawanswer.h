// RawAnswer: a request and its answer on a connection's socket, read by the program itself rather
// than by libmpd, for answers libmpd cannot take: lines longer than its buffer (a tag of lyrics or
// liner notes), a NUL byte inside a tag, an answer that trickles in for ever. A deadline covers
// the whole answer, not only the pauses between bytes. Used by Qmpd on the connection thread,
// between libmpd's requests.
#ifndef RAWANSWER_H
#define RAWANSWER_H

#include <QByteArray>
#include <QList>

#include <optional>

namespace RawAnswer {

// A line longer than this is cut, and ends with "…".
constexpr int MaxLineBytes = 16 * 1024;

struct Answer
{
    QList<QByteArray> lines;  // before "OK"
    QByteArray refusal;       // the "ACK" line, when the server refused
};

bool send(int socket, const QByteArray &text);
// The answer to what was sent last, read within timeoutMs in all; nothing when the link broke
// or the time ran out.
std::optional<Answer> read(int socket, int timeoutMs);
// A request line with its arguments quoted as the protocol wants them.
QByteArray request(const char *command, const QList<QByteArray> &arguments = {});

}  // namespace RawAnswer

#endif
