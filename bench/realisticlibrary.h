// RealisticLibrary: writes an mpd 0.23 database shaped like a real tagged
// collection, for the benchmark: Artist/Album/Track folders, a skewed number of
// songs per artist (1 to 300), compilations under "Various Artists", and about
// 25 tags a song (sort tags, composer, performers, label, MusicBrainz
// identifiers), 700-1,000 bytes a song in a listing. No audio files; mpd serves
// it as long as nothing rescans. Static functions only; any thread.
#ifndef REALISTICLIBRARY_H
#define REALISTICLIBRARY_H

#include <QString>

class RealisticLibrary
{
public:
    static bool writeDatabase(const QString &dbPath, int songs);
};

#endif
