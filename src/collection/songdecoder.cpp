#include "collection/songdecoder.h"

#include <libmpd/libmpd.h>

#include <cstring>

QString SongDecoder::decodeLatin1(const char *text)
{
    return text ? QString::fromLatin1(text) : QString();
}

const QString &SongDecoder::remembered(Memo &memo, const char *raw,
                                       QString (*decodeText)(const char *))
{
    const bool same
            = raw ? !memo.isNull && std::strcmp(memo.raw.constData(), raw) == 0 : memo.isNull;
    if (!same) {
        memo.isNull = !raw;
        memo.raw = QByteArray(raw);
        memo.text = decodeText(raw);
    }
    return memo.text;
}

QmpdSong SongDecoder::decode(const mpd_Song &song, qint64 lastModified)
{
    QmpdSong decoded(song.id, song.time, remembered(artist, song.artist, QmpdSong::decodeLocal),
                    texts.keep(QmpdSong::decodeLocal(song.title)), decodeLatin1(song.track),
                    texts.keep(QmpdSong::decodeLocal(song.file)),
                    remembered(date, song.date, decodeLatin1),
                    remembered(album, song.album, QmpdSong::decodeLocal));
    decoded.lastModified = lastModified;
    decoded.albumArtist = remembered(albumArtist, song.albumartist, QmpdSong::decodeLocal);
    decoded.genre = remembered(genre, song.genre, QmpdSong::decodeLocal);
    decoded.composer = remembered(composer, song.composer, QmpdSong::decodeLocal);
    return decoded;
}
