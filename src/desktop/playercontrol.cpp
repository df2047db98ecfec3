#include "desktop/playercontrol.h"

#include "covers/coverfetcher.h"
#include "core/serverconnection.h"

#include <QFileInfo>

PlayerControl::PlayerControl(QObject *parent) : QObject(parent) { }

QString PlayerControl::songText() const
{
    return current.song ? songCaption(*current.song) : QString();
}

QString PlayerControl::coverFile() const
{
    if (!current.song)
        return QString();
    const QFileInfo file(CoverFetcher::coverPath(current.song->artist, current.song->album));
    return file.isFile() && file.size() > 0 ? file.absoluteFilePath() : QString();
}

// The lyrics may arrive before or after the status that changes the song: they count only for
// their own song.
QString PlayerControl::lyricsText() const
{
    return current.song && current.song->file == lyricsFile ? lyrics : QString();
}

void PlayerControl::setLyrics(const QString &file, const QString &text)
{
    lyricsFile = file;
    lyrics = text;
    emit lyricsChanged();
}

void PlayerControl::play()
{
    // On a paused server this resumes where the song was.
    if (server && !current.playing())
        server->send(&Qmpd::play);
}

void PlayerControl::pause()
{
    if (server && current.playing())
        server->send(&Qmpd::pause);
}

void PlayerControl::playPause()
{
    if (server)
        server->send(&Qmpd::playPause);
}

void PlayerControl::stop()
{
    if (server)
        server->send(&Qmpd::stop);
}

void PlayerControl::next()
{
    if (server)
        server->send(&Qmpd::next);
}

void PlayerControl::previous()
{
    if (server)
        server->send(&Qmpd::previous);
}

void PlayerControl::seek(int seconds)
{
    if (server && current.song)
        server->send(&Qmpd::seek, qBound(0, seconds, current.song->time));
}

void PlayerControl::setLoop(bool repeat, bool single)
{
    if (!server)
        return;
    server->send(&Qmpd::setMode, Qmpd::Mode::Repeat, repeat);
    server->send(&Qmpd::setMode, Qmpd::Mode::Single, single);
}

void PlayerControl::setShuffle(bool on)
{
    if (server)
        server->send(&Qmpd::setMode, Qmpd::Mode::Random, on);
}

void PlayerControl::setVolume(int percent)
{
    if (server && current.volume >= 0)
        server->send(&Qmpd::setVolume, qBound(0, percent, 100));
}

void PlayerControl::onConnectionReady(ServerConnection *connection)
{
    onConnectionClosed();
    server = connection;
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               &PlayerControl::onStatus);
    onStatus(connection->status());
}

void PlayerControl::onConnectionClosed()
{
    disconnect(statusConnection);
    server = nullptr;
    onStatus(MpdStatus());
}

void PlayerControl::refresh()
{
    emit statusChanged();
}

void PlayerControl::onStatus(const MpdStatus &status)
{
    current = status;
    emit statusChanged();
}
