#include "queuemoves.h"

#include "playlistadder.h"

#include <libmpd/libmpd.h>
// libmpd queues adds and deletes but not moves: a batch of moves goes through the
// connection the way libmpd's own queue does. The header wants size_t declared, would
// redeclare strndup against the C library's, and has no C++ guard.
#include <cstddef>
#define HAVE_STRNDUP 1
extern "C" {
#include <libmpd/libmpd-internal.h>
}

#include <algorithm>

namespace {

// "move 123456 123457\n" with room to spare, within the adder's command-list budget.
constexpr int movesPerList = int(PlaylistAdder::maxBatchBytes / 32);

bool sendList(MpdObj *mpd, const QList<QueueMoves::Move> &moves)
{
    if (!mpd_check_connected(mpd) || mpd_lock_conn(mpd) != MPD_OK)
        return false;
    mpd_sendCommandListBegin(mpd->connection);
    for (const QueueMoves::Move &move : moves)
        mpd_sendMoveCommand(mpd->connection, move.first, move.second);
    mpd_sendCommandListEnd(mpd->connection);
    mpd_finishCommand(mpd->connection);
    const bool refused = mpd->connection->error != 0;
    mpd_unlock_conn(mpd);
    // Hands a refusal to the error hook, like every other libmpd command.
    mpd_check_error(mpd);
    return !refused && mpd_check_connected(mpd);
}

}  // namespace

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

bool QueueMoves::send(MpdObj *mpd, const QList<Move> &moves)
{
    for (qsizetype first = 0; first < moves.size(); first += movesPerList) {
        if (!sendList(mpd, moves.mid(first, movesPerList)))
            return false;
    }
    return true;
}

int QueueMoves::queueLength(MpdObj *mpd)
{
    // libmpd answers from the status it fetched last.
    mpd_status_update(mpd);
    return mpd_playlist_get_playlist_length(mpd);
}

int QueueMoves::playNextPosition(MpdObj *mpd, int length)
{
    const int state = mpd_player_get_state(mpd);
    const int current = mpd_player_get_current_song_pos(mpd);
    const bool playing = state == MPD_PLAYER_PLAY || state == MPD_PLAYER_PAUSE;
    return playing && current >= 0 && current < length ? current + 1 : length;
}
