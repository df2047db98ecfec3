// PlayTracker: when the current song counts as played, once per play. A song counts once it is
// long enough to matter (over 30 s) and has been heard past half its length or past four
// minutes. A play ends when another song (another queue id) becomes current, when the player
// stops, or when the same song starts again after running to its end (repeat); pausing, seeking
// back or a new connection to the same server keep it. A plain value; GUI thread.
#ifndef PLAYTRACKER_H
#define PLAYTRACKER_H

#include "core/qmpdsong.h"

class PlayTracker
{
public:
    // Where the player is in `song` now; true the first time this play passes the mark.
    bool observe(const QmpdSong &song, int elapsed, bool stopped);
    static bool pastPlayedMark(int length, int elapsed);

private:
    bool startsAgain(const QmpdSong &song, int elapsed) const;

    int songId = -1;
    QString file;
    int lastElapsed = 0;
    bool counted = false;
};

#endif
