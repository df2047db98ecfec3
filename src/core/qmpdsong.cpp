#include "core/qmpdsong.h"

#include <libmpd/libmpd.h>

#include <QList>

#include <cstdio>

const QString NULL_ARTIST_OR_ALBUM_STRING = QStringLiteral(
        "makfefmweklfm23894239847298374iowerjtioermdnfgmwelkrjwoi88383838383838383838383");

QmpdSong::QmpdSong(int id, int time, QString artist, QString title, QString track, QString file,
                   QString date, QString album)
    : id(id),
      time(time),
      artist(std::move(artist)),
      title(std::move(title)),
      track(std::move(track)),
      file(std::move(file)),
      date(std::move(date)),
      album(std::move(album))
{ }

QString QmpdSong::timeText() const
{
    // Views ask for this text at every repaint and most lengths are under an
    // hour: those texts are made once and shared.
    static constexpr int sharedSeconds = 3600;
    static const QList<QString> texts = [] {
        QList<QString> all;
        all.reserve(sharedSeconds);
        for (int length = 0; length < sharedSeconds; ++length)
            all.append(formatTime(length));
        return all;
    }();
    return time >= 0 && time < sharedSeconds ? texts.at(time) : formatTime(time);
}

QString QmpdSong::formatHours(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString QmpdSong::formatTime(int seconds)
{
    // Signed division on purpose: a negative length shows as a negative text.
    char text[32];
    const int rest = seconds % 60;
    const int length
            = std::snprintf(text, sizeof text, rest >= 0 ? "%d:%02d" : "%d:%d", seconds / 60, rest);
    return QString::fromLatin1(text, length);
}

QString QmpdSong::decodeLocal(const char *text)
{
    // Qt 6 takes the local 8-bit encoding of Unix systems to be UTF-8, and
    // fromUtf8 is several times faster than going through the locale's decoder.
#ifdef Q_OS_UNIX
    return text ? QString::fromUtf8(text) : QString();
#else
    return text ? QString::fromLocal8Bit(text) : QString();
#endif
}

static QString decodeLatin1(const char *text)
{
    return text ? QString::fromLatin1(text) : QString();
}

QmpdSong QmpdSong::fromMpdSong(const mpd_Song *song, TrackDateDecoding trackDate)
{
    const auto decodeTrackDate
            = trackDate == TrackDateDecoding::Locale ? decodeLocal : decodeLatin1;
    return QmpdSong(song->id, song->time, decodeLocal(song->artist), decodeLocal(song->title),
                    decodeTrackDate(song->track), decodeLocal(song->file),
                    decodeTrackDate(song->date), decodeLocal(song->album));
}
