#include "ratings/playcounter.h"

#include "core/serverconnection.h"
#include "ratings/stickersync.h"

#include <QDateTime>

void PlayCounter::onConnectionReady(ServerConnection *connection)
{
    server = connection;
}

void PlayCounter::onConnectionClosed()
{
    server = nullptr;
}

void PlayCounter::onSongPlayed(const QmpdSong &song)
{
    if (!server || !server->status().allows(QStringLiteral("sticker")))
        return;
    const QString file = song.file;
    const QString now = QString::number(QDateTime::currentSecsSinceEpoch());
    server->send([file, now](Qmpd &mpd) {
        const int count = mpd.songSticker(file, StickerSync::PlayCountSticker).value_or(QString()).toInt();
        if (mpd.putSongStickers({file}, StickerSync::PlayCountSticker, QString::number(count + 1)))
            mpd.putSongStickers({file}, StickerSync::LastPlayedSticker, now);
    });
}
