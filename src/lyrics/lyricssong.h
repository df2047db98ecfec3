// LyricsSong: what the lyrics sources need to know of a song. A plain value that crosses from the
// GUI thread to the lyrics worker.
#ifndef LYRICSSONG_H
#define LYRICSSONG_H

#include <QString>

struct LyricsSong
{
    QString file;  // the server's path of the song
    QString artist;
    QString title;
    QString album;
    int seconds = 0;
};

#endif
