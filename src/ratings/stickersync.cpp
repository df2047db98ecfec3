#include "ratings/stickersync.h"

#include "core/serverconnection.h"
#include "ratings/ratingslog.h"

const QString StickerSync::RatingSticker = QStringLiteral("rating");
const QString StickerSync::PlayCountSticker = QStringLiteral("playCount");
const QString StickerSync::LastPlayedSticker = QStringLiteral("lastPlayed");

namespace {

const QString StickerCommand = QStringLiteral("sticker");

// Runs on the connection thread: the three stickers of every song that has one.
QHash<QString, SongFact> readFacts(Qmpd &mpd)
{
    QHash<QString, SongFact> facts;
    const auto fill = [&](const QString &name, auto store) {
        const auto values = mpd.findSongStickers(name);
        if (!values)
            return;
        for (auto it = values->cbegin(); it != values->cend(); ++it)
            store(facts[it.key()], it.value());
    };
    fill(StickerSync::RatingSticker,
         [](SongFact &fact, const QString &value) { fact.rating = qBound(0, value.toInt(), 10); });
    fill(StickerSync::PlayCountSticker,
         [](SongFact &fact, const QString &value) { fact.playCount = value.toInt(); });
    fill(StickerSync::LastPlayedSticker,
         [](SongFact &fact, const QString &value) { fact.lastPlayed = value.toLongLong(); });
    return facts;
}

}  // namespace

StickerSync::StickerSync(QObject *parent) : QObject(parent) { }

void StickerSync::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    connect(connection, &ServerConnection::statusChanged, this, &StickerSync::onStatus);
    onStatus(connection->status(), MpdStatus::Permission);
}

void StickerSync::onConnectionClosed()
{
    if (server)
        disconnect(server, nullptr, this, nullptr);
    server = nullptr;
    reading = readAgain = false;
    songFacts.replace({}, false);
}

void StickerSync::onStatus(const MpdStatus &status, MpdStatus::Changes what)
{
    if (!(what & (MpdStatus::Sticker | MpdStatus::Permission)))
        return;
    if (!status.allows(StickerCommand)) {
        if (songFacts.available() || !songFacts.all().isEmpty())
            songFacts.replace({}, false);
        if (status.connected)
            qCDebug(lcRatings) << "The server keeps no stickers for this client";
        return;
    }
    read();
}

void StickerSync::read()
{
    if (reading) {
        readAgain = true;
        return;
    }
    reading = true;
    const QPointer<ServerConnection> asked = server;
    server->ask(this, readFacts, [this, asked](QHash<QString, SongFact> facts) {
        // An answer from a connection closed meanwhile is not this server's.
        if (!server || server != asked)
            return;
        reading = false;
        songFacts.replace(std::move(facts), true);
        if (std::exchange(readAgain, false))
            read();
    });
}
