#include "storedplayliststore.h"

#include "queuemoves.h"

#include <QCollator>

#include <algorithm>

namespace {

using Status = StoredPlaylistStore::Status;

QByteArray local(const QString &text)
{
    return text.toLocal8Bit();
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// Deletions per command list; "delete 0\n" is far below the server's list limit.
constexpr int deletionsPerList = 10000;

}  // namespace

StoredPlaylistStore::StoredPlaylistStore(QObject *parent) : QObject(parent) { }

void StoredPlaylistStore::setConnection(Qmpd *connection)
{
    qmpd = connection;
}

MpdObj *StoredPlaylistStore::connected() const
{
    return qmpd && qmpd->isConnected() ? qmpd->getMpdObj() : nullptr;
}

bool StoredPlaylistStore::failed() const
{
    // libmpd reports a refused command through the error hook, not its return value.
    return !connected() || qmpd->hasPendingError();
}

QStringList StoredPlaylistStore::names() const
{
    QStringList names;
    MpdObj *mpd = connected();
    if (!mpd)
        return names;
    for (MpdData *data = mpd_database_playlist_list(mpd); data; data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_PLAYLIST && data->playlist && data->playlist->path)
            names << QString::fromLocal8Bit(data->playlist->path);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

std::optional<std::vector<std::unique_ptr<QmpdSong>>>
StoredPlaylistStore::songs(const QString &name) const
{
    if (!names().contains(name))
        return std::nullopt;
    std::vector<std::unique_ptr<QmpdSong>> songs;
    for (MpdData *data = mpd_database_get_playlist_content(connected(), local(name).data()); data;
         data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_SONG && data->song)
            songs.push_back(std::make_unique<QmpdSong>(
                    QmpdSong::fromMpdSong(data->song, QmpdSong::TrackDateDecoding::Locale)));
    }
    return songs;
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

StoredPlaylistStore::Outcome StoredPlaylistStore::saveQueue(const QString &name, bool overwrite)
{
    if (const auto problem = nameProblem(name))
        return {Status::BadName, *problem};
    MpdObj *mpd = connected();
    if (!mpd)
        return {Status::Failed, QString()};
    const QStringList existing = names();
    if (existing.contains(name) && !overwrite)
        return {Status::NameTaken, tr("Playlist ") + quoted(name) + tr(" already exists")};
    // The old playlist goes only once the new one is safely stored under a free name.
    QString target = name;
    while (existing.contains(target))
        target += QLatin1Char('~');
    if (mpd_database_save_playlist(mpd, local(target).data()) != MPD_OK || failed())
        return {Status::Failed, QString()};
    if (target != name) {
        mpd_database_delete_playlist(mpd, local(name).data());
        if (failed())
            return {Status::Failed, QString()};
        mpd_database_playlist_rename(mpd, local(target).data(), local(name).data());
        if (failed())
            return {Status::Failed, QString()};
    }
    return {Status::Done, tr("Saved ") + QString::number(QueueMoves::queueLength(mpd))
                                  + tr(" songs as playlist ") + quoted(name)};
}

StoredPlaylistStore::Outcome StoredPlaylistStore::rename(const QString &from, const QString &to,
                                                         bool overwrite)
{
    if (const auto problem = nameProblem(to))
        return {Status::BadName, *problem};
    MpdObj *mpd = connected();
    if (!mpd)
        return {Status::Failed, QString()};
    const QStringList existing = names();
    if (!existing.contains(from))
        return {Status::Gone, goneMessage(from)};
    if (from != to && existing.contains(to)) {
        if (!overwrite)
            return {Status::NameTaken, tr("Playlist ") + quoted(to) + tr(" already exists")};
        mpd_database_delete_playlist(mpd, local(to).data());
    }
    if (from != to)
        mpd_database_playlist_rename(mpd, local(from).data(), local(to).data());
    if (failed())
        return {Status::Failed, QString()};
    return {Status::Done, tr("Renamed playlist ") + quoted(from) + tr(" to ") + quoted(to)};
}

StoredPlaylistStore::Outcome StoredPlaylistStore::remove(const QString &name)
{
    MpdObj *mpd = connected();
    if (!mpd)
        return {Status::Failed, QString()};
    if (!names().contains(name))
        return {Status::Gone, goneMessage(name)};
    if (mpd_database_delete_playlist(mpd, local(name).data()) != MPD_OK || failed())
        return {Status::Failed, QString()};
    return {Status::Done, tr("Deleted playlist ") + quoted(name)};
}

std::optional<StoredPlaylistStore::Outcome>
StoredPlaylistStore::load(const QString &name, int *loaded, int *missing)
{
    const auto content = songs(name);
    if (failed())
        return Outcome{Status::Failed, QString()};
    if (!content)
        return Outcome{Status::Gone, goneMessage(name)};
    MpdObj *mpd = connected();
    const int before = QueueMoves::queueLength(mpd);
    // The server skips songs it no longer has; the rest arrive in order.
    mpd_playlist_queue_load(mpd, local(name).data());
    mpd_playlist_queue_commit(mpd);
    if (failed())
        return Outcome{Status::Failed, QString()};
    *loaded = std::max(0, QueueMoves::queueLength(mpd) - before);
    *missing = std::max(0, int(content->size()) - *loaded);
    if (*loaded == 0 && *missing > 0)
        return Outcome{Status::NothingLoaded, tr("No song of ") + quoted(name)
                                                      + tr(" is in the database any more; nothing was changed")};
    return std::nullopt;
}

QString StoredPlaylistStore::missingNote(int missing) const
{
    if (missing == 0)
        return QString();
    return tr(", skipped ") + QString::number(missing) + tr(" songs no longer in the database");
}

StoredPlaylistStore::Outcome StoredPlaylistStore::append(const QString &name)
{
    int loaded = 0;
    int missing = 0;
    if (const std::optional<Outcome> refused = load(name, &loaded, &missing))
        return *refused;
    return {Status::Done, tr("Added ") + QString::number(loaded) + tr(" songs to playlist")
                                  + missingNote(missing)};
}

StoredPlaylistStore::Outcome StoredPlaylistStore::replaceQueue(const QString &name)
{
    if (!connected())
        return {Status::Failed, QString()};
    const int oldLength = QueueMoves::queueLength(connected());
    int loaded = 0;
    int missing = 0;
    if (const std::optional<Outcome> refused = load(name, &loaded, &missing))
        return *refused;
    deleteFirst(oldLength);
    if (failed())
        return {Status::Failed, QString()};
    return {Status::Done, tr("Replaced playlist with ") + QString::number(loaded)
                                  + tr(" songs from ") + quoted(name) + missingNote(missing)};
}

void StoredPlaylistStore::deleteFirst(int count)
{
    MpdObj *mpd = connected();
    for (int done = 0; done < count && !failed(); done += deletionsPerList) {
        for (int i = done; i < std::min(count, done + deletionsPerList); ++i)
            mpd_playlist_queue_delete_pos(mpd, 0);
        mpd_playlist_queue_commit(mpd);
    }
}
