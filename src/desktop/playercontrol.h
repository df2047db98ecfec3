// PlayerControl: the desktop integration's handle on the window's connection. Follows the
// connection the main window hands over, keeps its latest status snapshot, and sends the
// commands that media keys, the panel widget and the tray give. Owned by DesktopIntegration;
// GUI thread.
#ifndef PLAYERCONTROL_H
#define PLAYERCONTROL_H

#include "core/mpdstatus.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

class ServerConnection;

class PlayerControl : public QObject
{
    Q_OBJECT

public:
    explicit PlayerControl(QObject *parent = nullptr);

    const MpdStatus &status() const { return current; }
    // Seconds into the current song now.
    int elapsed() const { return current.elapsedNow(); }
    // "Artist - Title", or the file name; empty without a song.
    QString songText() const;
    // The cached cover of the song's album; empty when there is none (an empty file is a
    // failed download, not a cover).
    QString coverFile() const;
    // The words of the current song; empty while none are known.
    QString lyricsText() const;
    // The words of the song `file`.
    void setLyrics(const QString &file, const QString &text);

    // Each command does nothing while disconnected.
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(int seconds);
    void setLoop(bool repeat, bool single);
    void setShuffle(bool on);
    // Refused when the server has no mixer: it would answer with an error.
    void setVolume(int percent);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    // Announces the status again, for changes that are not the server's (a cover arrived).
    void refresh();

signals:
    // status() holds the new snapshot.
    void statusChanged();
    // lyricsText() may have changed; the song did not.
    void lyricsChanged();

private:
    void onStatus(const MpdStatus &status);

    QPointer<ServerConnection> server;
    QMetaObject::Connection statusConnection;
    MpdStatus current;
    QString lyricsFile;
    QString lyrics;
};

#endif
