// NowPlayingPanel: the window's now-playing panel and transport bar: song labels, cover,
// progress, volume and mute, the play/pause, stop, previous and next buttons and the player
// state in the panel's title. Follows the connection's status snapshots and advances the
// progress by itself between them while playing. Created by the main window; GUI thread.
#ifndef NOWPLAYINGPANEL_H
#define NOWPLAYINGPANEL_H

#include "core/mpdstatus.h"
#include "player/playtracker.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <optional>

class CoverFetcher;
class ServerConnection;
class Ui_MainWindow;

class NowPlayingPanel : public QObject
{
    Q_OBJECT

public:
    NowPlayingPanel(Ui_MainWindow *ui, CoverFetcher &covers, QObject *parent);

    // The song the panel shows, if any.
    const std::optional<QmpdSong> &song() const { return current; }

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    void onCoverFetched(bool success);

signals:
    // Another song is now the current one.
    void songChanged(const QmpdSong &song);
    // The song has been heard long enough to count as played; once per play (see PlayTracker).
    void songPlayed(const QmpdSong &song);

private:
    void wireControls(ServerConnection *connection);
    void onStatus(const MpdStatus &status, MpdStatus::Changes what);
    void onSongChange(const MpdStatus &status);
    void showProgress();
    void showVolume(int volume);
    void showPlayerState(PlayerState state);
    void requestCover();
    void showCover(const QPixmap &pixmap);
    void onShowFullSize();

    Ui_MainWindow *ui;
    CoverFetcher &covers;
    QPointer<ServerConnection> server;
    QList<QMetaObject::Connection> wiring;
    MpdStatus status;
    std::optional<QmpdSong> current;
    // Kept across connections: a reconnection does not start the song's play again.
    PlayTracker plays;
    QPixmap coverPixmap;
    // Moves the progress on while playing; the server says nothing until something changes.
    QTimer progressTimer;
};

#endif
