#include "smartplaylists/dynamicmode.h"

#include "core/serverconnection.h"

#include <QRandomGenerator>
#include <QSet>

namespace {

// What one top-up did: the songs it added.
QStringList topUpQueue(Qmpd &mpd, const QStringList &pool, const QSet<QString> &recent,
                       const DynamicMode::Settings &settings, bool trim)
{
    mpd.queueLength();  // reads the status
    int next = mpd.firstUpcomingPosition();
    // Songs before the playing one: played, when the queue is not consumed.
    const int surplus = next - 1 - settings.history;
    if (trim && surplus > 0 && mpd.deleteFirstSongs(surplus))
        next -= surplus;
    const QStringList coming = mpd.queueFiles(next);
    const int missing = settings.upcoming - int(coming.size());
    QStringList added;
    if (missing > 0 && !mpd.failed()) {
        QStringList choices;
        const QSet<QString> comingSet(coming.cbegin(), coming.cend());
        for (const QString &file : pool) {
            if (!recent.contains(file) && !comingSet.contains(file))
                choices << file;
        }
        while (added.size() < missing && !choices.isEmpty())
            added << choices.takeAt(QRandomGenerator::global()->bounded(int(choices.size())));
        mpd.addPaths(added);
    }
    return added;
}

}  // namespace

void DynamicMode::start(ServerConnection *connection, const QStringList &songs,
                        const Settings &chosen)
{
    stop();
    server = connection;
    pool = songs;
    settings = chosen;
    connect(connection, &ServerConnection::statusChanged, this, &DynamicMode::onStatus);
    emit switched(true);
    topUp();
}

void DynamicMode::stop()
{
    if (!server)
        return;
    disconnect(server, nullptr, this, nullptr);
    server = nullptr;
    recent.clear();
    working = again = false;
    emit switched(false);
}

void DynamicMode::onStatus(const MpdStatus &, MpdStatus::Changes what)
{
    if (what & (MpdStatus::Queue | MpdStatus::SongPos | MpdStatus::Song))
        topUp();
}

void DynamicMode::topUp()
{
    if (working) {
        again = true;
        return;
    }
    working = true;
    const QStringList songs = pool;
    const QSet<QString> lately(recent.cbegin(), recent.cend());
    const Settings wanted = settings;
    const MpdStatus &now = server->status();
    const bool trim = settings.trimHistory && !now.consume && now.state != PlayerState::Stopped;
    const QPointer<ServerConnection> asked = server;
    server->ask(
            this,
            [songs, lately, wanted, trim](Qmpd &mpd) {
                return topUpQueue(mpd, songs, lately, wanted, trim);
            },
            [this, asked](const QStringList &added) {
                if (!server || server != asked)
                    return;
                working = false;
                recent << added;
                // Half the pool at most, so that there is always something left to add.
                const qsizetype keep = qMin<qsizetype>(pool.size() / 2, settings.history + settings.upcoming);
                if (recent.size() > keep)
                    recent.erase(recent.begin(), recent.end() - keep);
                if (std::exchange(again, false))
                    topUp();
            });
}
