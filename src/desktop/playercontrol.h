// PlayerControl: the desktop integration's handle on the window's connection. Follows the
// connection the main window hands over, keeps a snapshot of the server's status after every
// poll, and carries out the commands that media keys, the panel widget and the tray send.
// Owned by DesktopIntegration; GUI thread only, like the Qmpd it uses.
#ifndef PLAYERCONTROL_H
#define PLAYERCONTROL_H

#include "playerstatus.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

class Qmpd;

class PlayerControl : public QObject
{
    Q_OBJECT

public:
    explicit PlayerControl(QObject *parent = nullptr);

    const PlayerStatus &status() const { return current; }
    // Seconds into the current song, as of the last poll.
    int elapsed() const;

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
    void onConnectionReady(Qmpd *qmpd);
    void onConnectionClosed();
    // Reads the status again, for changes that are not the server's (a cover arrived).
    void refresh();

signals:
    // status() holds the new snapshot.
    void statusChanged();

private:
    MpdObj *mpd() const;
    // Lets libmpd see what a command changed; Qmpd then reports it like any poll.
    void afterCommand();

    QPointer<Qmpd> qmpd;
    QMetaObject::Connection statusConnection;
    PlayerStatus current;
};

#endif
