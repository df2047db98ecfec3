#include "core/songlist.h"

#include <utility>

namespace {

void keepFirst(QString &field, const QString &value)
{
    if (field.isNull())
        field = value;
}

// A stream's station name (its "Name") goes before what it plays now ("Title"), so that every
// place that shows the title shows both.
void showStationName(QmpdSong *song, const QString &station)
{
    if (!song || station.isEmpty() || !song->file.contains(QLatin1String("://")))
        return;
    song->title = song->title.isEmpty() ? station : station + QStringLiteral(": ") + song->title;
}

}  // namespace

SongList SongList::parse(const QList<QByteArray> &lines, QmpdSong::TrackDateDecoding trackDate)
{
    const auto decodeTrackDate = [trackDate](const QByteArray &value) {
        return trackDate == QmpdSong::TrackDateDecoding::Locale ? QString::fromUtf8(value)
                                                                : QString::fromLatin1(value);
    };
    SongList list;
    QmpdSong *song = nullptr;
    QString station;
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(": ");
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 2);
        if (name == "directory") {
            list.directories << QString::fromUtf8(value);
        } else if (name == "file") {
            showStationName(song, std::exchange(station, QString()));
            song = &list.songs.emplace_back(-1, -1, QString(), QString(), QString(),
                                            QString::fromUtf8(value), QString(), QString());
            list.positions.push_back(-1);
            list.genres.append(QString());
        } else if (!song) {
            continue;
        } else if (name == "Artist") {
            song->artist = song->artist.isNull() ? QString::fromUtf8(value)
                                                 : song->artist + QStringLiteral(", ")
                                                         + QString::fromUtf8(value);
        } else if (name == "Name") {
            keepFirst(station, QString::fromUtf8(value));
        } else if (name == "Title") {
            keepFirst(song->title, QString::fromUtf8(value));
        } else if (name == "Album") {
            keepFirst(song->album, QString::fromUtf8(value));
        } else if (name == "Track") {
            keepFirst(song->track, decodeTrackDate(value));
        } else if (name == "Date") {
            keepFirst(song->date, decodeTrackDate(value));
        } else if (name == "Genre") {
            keepFirst(list.genres.last(), QString::fromLatin1(value));
        } else if (name == "Time" && song->time < 0) {
            song->time = value.toInt();
        } else if (name == "Id") {
            song->id = value.toInt();
        } else if (name == "Pos") {
            list.positions.back() = value.toInt();
        }
    }
    showStationName(song, station);
    return list;
}
