#include "storedplaylists/storedplayliststore.h"

#include "core/qmpd.h"

#include <QCollator>

#include <algorithm>

namespace {

using Status = StoredPlaylistStore::Status;

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

const StoredPlaylistStore::Outcome failure{Status::Failed, QString()};

}  // namespace

QStringList StoredPlaylistStore::names(Qmpd &server)
{
    QStringList names = server.storedPlaylistNames();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

std::optional<std::vector<QmpdSong>> StoredPlaylistStore::songs(Qmpd &server, const QString &name)
{
    if (!server.storedPlaylistNames().contains(name))
        return std::nullopt;
    return server.storedPlaylistSongs(name);
}

std::optional<QString> StoredPlaylistStore::nameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return tr("Please enter a name for the playlist");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\n'))
        || name.contains(QLatin1Char('\r')))
        return tr("A playlist name cannot contain \"/\" or a line break");
    return std::nullopt;
}

QString StoredPlaylistStore::goneMessage(const QString &name)
{
    return tr("Playlist ") + quoted(name) + tr(" no longer exists on the server");
}

StoredPlaylistStore::Outcome StoredPlaylistStore::saveQueue(Qmpd &server, const QString &name,
                                                            bool overwrite)
{
    if (const auto problem = nameProblem(name))
        return {Status::BadName, *problem};
    if (!server.isConnected())
        return failure;
    const QStringList existing = server.storedPlaylistNames();
    if (existing.contains(name) && !overwrite)
        return {Status::NameTaken, tr("Playlist ") + quoted(name) + tr(" already exists")};
    // The old playlist goes only once the new one is safely stored under a free name.
    QString target = name;
    while (existing.contains(target))
        target += QLatin1Char('~');
    if (!server.saveQueueAs(target))
        return failure;
    if (target != name
        && !(server.deleteStoredPlaylist(name) && server.renameStoredPlaylist(target, name)))
        return failure;
    return {Status::Done, tr("Saved ") + QString::number(server.queueLength())
                                  + tr(" songs as playlist ") + quoted(name)};
}

StoredPlaylistStore::Outcome StoredPlaylistStore::rename(Qmpd &server, const QString &from,
                                                         const QString &to, bool overwrite)
{
    if (const auto problem = nameProblem(to))
        return {Status::BadName, *problem};
    if (!server.isConnected())
        return failure;
    const QStringList existing = server.storedPlaylistNames();
    if (!existing.contains(from))
        return {Status::Gone, goneMessage(from)};
    if (from != to && existing.contains(to)) {
        if (!overwrite)
            return {Status::NameTaken, tr("Playlist ") + quoted(to) + tr(" already exists")};
        if (!server.deleteStoredPlaylist(to))
            return failure;
    }
    if (from != to && !server.renameStoredPlaylist(from, to))
        return failure;
    return {Status::Done, tr("Renamed playlist ") + quoted(from) + tr(" to ") + quoted(to)};
}

StoredPlaylistStore::Outcome StoredPlaylistStore::remove(Qmpd &server, const QString &name)
{
    if (!server.isConnected())
        return failure;
    if (!server.storedPlaylistNames().contains(name))
        return {Status::Gone, goneMessage(name)};
    if (!server.deleteStoredPlaylist(name))
        return failure;
    return {Status::Done, tr("Deleted playlist ") + quoted(name)};
}

std::optional<StoredPlaylistStore::Outcome>
StoredPlaylistStore::load(Qmpd &server, const QString &name, int *loaded, int *missing)
{
    const auto content = songs(server, name);
    if (server.failed())
        return failure;
    if (!content)
        return Outcome{Status::Gone, goneMessage(name)};
    const int before = server.queueLength();
    if (!server.loadStoredPlaylist(name))
        return failure;
    *loaded = std::max(0, server.queueLength() - before);
    *missing = std::max(0, int(content->size()) - *loaded);
    if (*loaded == 0 && *missing > 0)
        return Outcome{Status::NothingLoaded, tr("No song of ") + quoted(name)
                                                      + tr(" is in the database any more; nothing was changed")};
    return std::nullopt;
}

QString StoredPlaylistStore::missingNote(int missing)
{
    if (missing == 0)
        return QString();
    return tr(", skipped ") + QString::number(missing) + tr(" songs no longer in the database");
}

StoredPlaylistStore::Outcome StoredPlaylistStore::append(Qmpd &server, const QString &name)
{
    int loaded = 0;
    int missing = 0;
    if (const std::optional<Outcome> refused = load(server, name, &loaded, &missing))
        return *refused;
    return {Status::Done, tr("Added ") + QString::number(loaded) + tr(" songs to playlist")
                                  + missingNote(missing)};
}

StoredPlaylistStore::Outcome StoredPlaylistStore::replaceQueue(Qmpd &server, const QString &name)
{
    if (!server.isConnected())
        return failure;
    const int oldLength = server.queueLength();
    int loaded = 0;
    int missing = 0;
    if (const std::optional<Outcome> refused = load(server, name, &loaded, &missing))
        return *refused;
    if (!server.deleteFirstSongs(oldLength))
        return failure;
    return {Status::Done, tr("Replaced playlist with ") + QString::number(loaded)
                                  + tr(" songs from ") + quoted(name) + missingNote(missing)};
}
