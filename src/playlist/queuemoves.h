// QueueMoves: rearranging the server's queue by position, for drag and drop and
// "Play next". Stateless; used in the GUI thread on the window's connection.
#ifndef QUEUEMOVES_H
#define QUEUEMOVES_H

#include <QList>
#include <QPair>

typedef struct _MpdObj MpdObj;

namespace QueueMoves {

using Move = QPair<int, int>;  // from position, to position, applied in order

// The moves that bring the songs at rows (distinct, any order) together, in queue order,
// in front of the song now at position `before` (the queue's length: at the end).
// Songs already in place are not moved.
QList<Move> plan(QList<int> rows, int before);
// Where the first of those songs stands afterwards.
int firstRowAfter(const QList<int> &rows, int before);

// Sends the moves in command lists the server accepts. False when the connection
// went down or the server refused one (the error hook tells the user).
bool send(MpdObj *mpd, const QList<Move> &moves);

// The queue's length as the server has it now.
int queueLength(MpdObj *mpd);
// Right after the playing or paused song; the end (length) when nothing plays. Reads the
// status fetched last: call after queueLength.
int playNextPosition(MpdObj *mpd, int length);

}  // namespace QueueMoves

#endif
