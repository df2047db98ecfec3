// LibraryStats: the size of the server's library as MPD's "stats" reports it. A plain value,
// read on the connection thread and handed to the GUI.
#ifndef LIBRARYSTATS_H
#define LIBRARYSTATS_H

#include <QByteArray>
#include <QList>

struct LibraryStats
{
    qint64 artists = 0;
    qint64 albums = 0;
    qint64 songs = 0;
    qint64 playTime = 0;      // seconds of music in the database
    qint64 lastUpdate = 0;    // of the database, seconds since the epoch
    qint64 uptime = 0;        // seconds the server has run

    // From the answer's "name: value" lines; what is missing stays 0.
    static LibraryStats parse(const QList<QByteArray> &lines);
};

#endif
