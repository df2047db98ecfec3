// QueueMoves: planning moves in the server's queue by position, for drag and drop and
// "Play next". Stateless; any thread.
#ifndef QUEUEMOVES_H
#define QUEUEMOVES_H

#include <QList>
#include <QPair>

namespace QueueMoves {

using Move = QPair<int, int>;  // from position, to position, applied in order

// The moves that bring the songs at rows (distinct, any order) together, in queue order,
// in front of the song now at position `before` (the queue's length: at the end).
// Songs already in place are not moved.
QList<Move> plan(QList<int> rows, int before);
// Where the first of those songs stands afterwards.
int firstRowAfter(const QList<int> &rows, int before);

}  // namespace QueueMoves

#endif
