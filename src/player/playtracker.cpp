#include "player/playtracker.h"

namespace {

constexpr int ShortestCountedSeconds = 30;
constexpr int LongEnoughSeconds = 240;
// The progress is seen every half second or so: a song seen this close to its end ran out.
constexpr int EndSlackSeconds = 3;

}  // namespace

bool PlayTracker::pastPlayedMark(int length, int elapsed)
{
    return length > ShortestCountedSeconds && (elapsed > length / 2 || elapsed > LongEnoughSeconds);
}

bool PlayTracker::observe(const QmpdSong &song, int elapsed, bool stopped)
{
    if (stopped) {
        songId = -1;
        return false;
    }
    if (song.id != songId || song.file != file || startsAgain(song, elapsed)) {
        songId = song.id;
        file = song.file;
        counted = false;
    }
    lastElapsed = elapsed;
    if (counted || !pastPlayedMark(song.time, elapsed))
        return false;
    counted = true;
    return true;
}

bool PlayTracker::startsAgain(const QmpdSong &song, int elapsed) const
{
    return elapsed < lastElapsed && lastElapsed >= song.time - EndSlackSeconds;
}
