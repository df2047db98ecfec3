#include "songdecoder.h"

#include <libmpd/libmpd.h>

#include <cstring>

QString SongDecoder::decodeLocal(const char *text)
{
    // Qt 6 takes the local 8-bit encoding of Unix systems to be UTF-8, and
    // fromUtf8 is several times faster than going through the locale's decoder.
#ifdef Q_OS_UNIX
    return text ? QString::fromUtf8(text) : QString();
#else
    return text ? QString::fromLocal8Bit(text) : QString();
#endif
}

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

QmpdSong SongDecoder::decode(const mpd_Song &song)
{
    return QmpdSong(song.id, song.time, remembered(artist, song.artist, decodeLocal),
                    decodeLocal(song.title), decodeLatin1(song.track), decodeLocal(song.file),
                    remembered(date, song.date, decodeLatin1),
                    remembered(album, song.album, decodeLocal));
}
