// PlayerStatus: a plain snapshot of what the server plays, read from libmpd's cached status
// after a status change. The desktop integration compares snapshots to tell what changed.
#ifndef PLAYERSTATUS_H
#define PLAYERSTATUS_H

#include "qmpdsong.h"

#include <libmpd/libmpd.h>

#include <optional>

struct PlayerStatus
{
    bool connected = false;
    int state = MPD_PLAYER_STOP;
    bool repeat = false;
    bool single = false;
    bool random = false;
    int volume = -1;  // negative: the server has no mixer
    int songPos = -1;
    int playlistLength = 0;
    std::optional<QmpdSong> song;

    // Reads libmpd's cache; asks the server only for a current song it has not fetched yet.
    static PlayerStatus read(MpdObj *mpd);

    bool playing() const { return state == MPD_PLAYER_PLAY; }
    int songId() const { return song ? song->id : -1; }
    // "Artist - Title", or the file name for a song without a title; empty without a song.
    QString songText() const;
    // The cached cover of the song's album; empty when there is none (an empty file is a
    // failed download, not a cover).
    QString coverFile() const;
};

#endif
