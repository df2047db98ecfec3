// SongDecoder: turns the song entries of a database listing into QmpdSong records,
// with the mapping of QmpdSong::fromMpdSong for the collection (track and date as
// Latin-1). Songs of one album follow each other in a listing and repeat its artist,
// album and date: those texts are decoded once and shared. One decoder per listing,
// used in the collection builder's thread.
#ifndef SONGDECODER_H
#define SONGDECODER_H

#include "core/qmpdsong.h"
#include "collection/textblock.h"

#include <QByteArray>

class SongDecoder
{
public:
    QmpdSong decode(const mpd_Song &song, qint64 lastModified);

private:
    // The last raw text of one field and its decoded value.
    struct Memo
    {
        QByteArray raw;
        QString text;
        bool isNull = true;
    };

    static QString decodeLatin1(const char *text);
    static const QString &remembered(Memo &memo, const char *raw,
                                     QString (*decodeText)(const char *));

    Memo artist;
    Memo album;
    Memo date;
    Memo albumArtist;
    Memo genre;
    Memo composer;
    TextBlock texts;
};

#endif
