// QmpdSong: the program's own copy of one song as the MPD server describes it.
// A plain value, copied freely between lists and across threads. Once filled in,
// only the playlist model changes it (its now-playing mark).
#ifndef QMPDSONG_H
#define QMPDSONG_H

#include <QString>

typedef struct _mpd_Song mpd_Song;

// Passed where no particular artist or album is meant; no real name matches it.
extern const QString NULL_ARTIST_OR_ALBUM_STRING;

class QmpdSong
{
public:
    // How a song's track and date tags are turned into text. The playlist
    // decodes them like every other tag; the other readers take them as Latin-1.
    enum class TrackDateDecoding { Locale, Latin1 };

    QmpdSong() = default;
    QmpdSong(int id, int time, QString artist, QString title, QString track, QString file,
             QString date, QString album);

    // Builds a record from libmpd's song structure, which is not kept.
    static QmpdSong fromMpdSong(const mpd_Song *song, TrackDateDecoding trackDate);

    // A text from libmpd in the local 8-bit encoding; null for a missing tag.
    static QString decodeLocal(const char *text);

    // Seconds as minutes and two-digit seconds: 0:00, 1:05, 62:05.
    static QString formatTime(int seconds);
    // Seconds as hours, minutes and seconds, for totals: 0:00:00, 1:01:05, 250:00:00.
    static QString formatHours(qint64 seconds);

    // The song's length as formatTime writes it.
    QString timeText() const;

    int id = 0;
    int time = 0;
    QString artist;
    QString title;
    QString track;
    QString file;
    QString date;
    QString album;
    // Only the collection fills these (its database listing carries them): when the file last
    // changed on the server, in seconds since the epoch (0 when unknown), and three more tags.
    qint64 lastModified = 0;
    QString albumArtist;
    QString genre;     // the first one
    QString composer;  // the first one
    bool nowPlaying = false;
};

// Only implicitly shared strings and plain values: lists may move records bytewise.
Q_DECLARE_TYPEINFO(QmpdSong, Q_RELOCATABLE_TYPE);

#endif
