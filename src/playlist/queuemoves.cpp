#include "playlist/queuemoves.h"

#include <algorithm>

QList<QueueMoves::Move> QueueMoves::plan(QList<int> rows, int before)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const auto firstBelow = std::lower_bound(rows.begin(), rows.end(), before);
    QList<Move> moves;
    // Songs above the target, last first, each in front of the one moved before it: a
    // song moved down shifts only songs below it, so the next one up is still where it was.
    int to = before - 1;
    for (auto row = std::make_reverse_iterator(firstBelow); row != rows.rend(); ++row, --to)
        moves << Move(*row, to);
    // Songs below the target, first first, each behind the one moved before it.
    to = before;
    for (auto row = firstBelow; row != rows.end(); ++row, ++to)
        moves << Move(*row, to);
    moves.removeIf([](const Move &move) { return move.first == move.second; });
    return moves;
}

int QueueMoves::firstRowAfter(const QList<int> &rows, int before)
{
    return before - int(std::count_if(rows.begin(), rows.end(), [before](int row) {
               return row < before;
           }));
}
