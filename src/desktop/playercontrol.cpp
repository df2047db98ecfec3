#include "playercontrol.h"

#include "qmpd.h"

PlayerControl::PlayerControl(QObject *parent) : QObject(parent) { }

int PlayerControl::elapsed() const
{
    return mpd() ? mpd_status_get_elapsed_song_time(mpd()) : 0;
}

void PlayerControl::play()
{
    // On a paused server this resumes where the song was.
    if (!mpd() || current.state == MPD_PLAYER_PLAY)
        return;
    mpd_player_play(mpd());
    afterCommand();
}

void PlayerControl::pause()
{
    if (!mpd() || current.state != MPD_PLAYER_PLAY)
        return;
    mpd_player_pause(mpd());
    afterCommand();
}

void PlayerControl::playPause()
{
    if (qmpd)
        qmpd->onPlaypauseClick();
}

void PlayerControl::stop()
{
    if (qmpd)
        qmpd->onStopClick();
}

void PlayerControl::next()
{
    if (qmpd)
        qmpd->onNextClick();
}

void PlayerControl::previous()
{
    if (qmpd)
        qmpd->onPrevClick();
}

void PlayerControl::seek(int seconds)
{
    if (!mpd() || !current.song)
        return;
    mpd_player_seek(mpd(), qBound(0, seconds, current.song->time));
    afterCommand();
}

void PlayerControl::setLoop(bool repeat, bool single)
{
    if (!mpd())
        return;
    mpd_player_set_repeat(mpd(), repeat);
    mpd_player_set_single(mpd(), single);
    afterCommand();
}

void PlayerControl::setShuffle(bool on)
{
    if (!mpd())
        return;
    mpd_player_set_random(mpd(), on);
    afterCommand();
}

void PlayerControl::setVolume(int percent)
{
    if (!mpd() || current.volume < 0)
        return;
    mpd_status_set_volume(mpd(), qBound(0, percent, 100));
    afterCommand();
}

void PlayerControl::onConnectionReady(Qmpd *connection)
{
    onConnectionClosed();
    qmpd = connection;
    statusConnection = connect(connection, &Qmpd::mpdStatusChanged, this, &PlayerControl::refresh);
    refresh();
}

void PlayerControl::onConnectionClosed()
{
    disconnect(statusConnection);
    qmpd = nullptr;
    refresh();
}

void PlayerControl::refresh()
{
    current = PlayerStatus::read(mpd());
    emit statusChanged();
}

MpdObj *PlayerControl::mpd() const
{
    return qmpd ? qmpd->getMpdObj() : nullptr;
}

void PlayerControl::afterCommand()
{
    mpd_status_update(mpd());
}
