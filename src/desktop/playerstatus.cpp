#include "playerstatus.h"

#include "coverfetcher.h"

#include <QFileInfo>

PlayerStatus PlayerStatus::read(MpdObj *mpd)
{
    PlayerStatus status;
    if (!mpd || !mpd_check_connected(mpd))
        return status;
    status.connected = true;
    status.state = mpd_player_get_state(mpd);
    status.repeat = mpd_player_get_repeat(mpd) > 0;
    status.single = mpd_player_get_single(mpd) > 0;
    status.random = mpd_player_get_random(mpd) > 0;
    status.volume = mpd_status_get_volume(mpd);
    status.songPos = mpd_player_get_current_song_pos(mpd);
    status.playlistLength = mpd_playlist_get_playlist_length(mpd);
    // A stopped server still names a current song; it is the one play would start.
    if (status.songPos >= 0) {
        if (mpd_Song *song = mpd_playlist_get_current_song(mpd))
            status.song = QmpdSong::fromMpdSong(song, QmpdSong::TrackDateDecoding::Latin1);
    }
    return status;
}

QString PlayerStatus::songText() const
{
    if (!song)
        return QString();
    if (song->title.isEmpty())
        return song->file.mid(song->file.lastIndexOf(QLatin1Char('/')) + 1);
    return song->artist + QStringLiteral(" - ") + song->title;
}

QString PlayerStatus::coverFile() const
{
    if (!song)
        return QString();
    const QFileInfo file(CoverFetcher::coverPath(song->artist, song->album));
    return file.isFile() && file.size() > 0 ? file.absoluteFilePath() : QString();
}
