// StickerSync: keeps the window's SongFacts as the server's sticker database has them. Reads the
// ratings, play counts and last-played times of the whole database in three requests (one
// "sticker find" each) on the connection thread, when a connection is up and again whenever the
// server reports a sticker change (from this client or another). A server that does not allow
// "sticker" (no sticker database, or not for this client) gets no request: its facts are
// unavailable. Created by the main window; GUI thread.
#ifndef STICKERSYNC_H
#define STICKERSYNC_H

#include "core/mpdstatus.h"
#include "core/songfacts.h"

#include <QObject>
#include <QPointer>

class ServerConnection;

class StickerSync : public QObject
{
    Q_OBJECT

public:
    explicit StickerSync(QObject *parent = nullptr);

    SongFacts *facts() { return &songFacts; }

    // The names of the song stickers, shared with other MPD clients.
    static const QString RatingSticker;
    static const QString PlayCountSticker;
    static const QString LastPlayedSticker;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

private:
    void onStatus(const MpdStatus &status, MpdStatus::Changes what);
    void read();

    QPointer<ServerConnection> server;
    SongFacts songFacts;
    // One read at a time; a change reported meanwhile reads once more after it.
    bool reading = false;
    bool readAgain = false;
};

#endif
