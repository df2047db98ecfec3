// PlayCounter: counts plays on the server. When the now-playing panel reports a song played (past
// the played mark, once per play: see PlayTracker), the song's sticker "playCount" goes up by one
// and "lastPlayed" becomes the Unix time, both read and written on the connection thread so that
// another client's count in between is not lost. Nothing is sent to a server that keeps no
// stickers. Created by the main window; GUI thread.
#ifndef PLAYCOUNTER_H
#define PLAYCOUNTER_H

#include <QObject>
#include <QPointer>

class QmpdSong;
class ServerConnection;

class PlayCounter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    void onSongPlayed(const QmpdSong &song);

private:
    QPointer<ServerConnection> server;
};

#endif
