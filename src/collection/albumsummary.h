// AlbumSummary: one album of the collection index as a wall of covers shows it: its album artist
// and title, year, newest file time and a song to ask the server for its picture. A plain value.
#ifndef ALBUMSUMMARY_H
#define ALBUMSUMMARY_H

#include <QString>

struct AlbumSummary
{
    QString artist;  // the album artist, or the songs' artist when they have none
    QString album;
    // The first four characters of the first song's date that has one ("1987" of "1987-05-01").
    QString year;
    // The newest Last-Modified of the album's songs, seconds since the epoch.
    qint64 lastModified = 0;
    QString firstFile;
};

#endif
