// Music libraries for tests: the standard small library of real tagged FLAC files (made by
// scripts/gen-library, whose header lists every file and tag), and mpd databases of any size and
// shape without audio files, for MpdFixture::Options::databaseFile. Static functions; any thread.
#ifndef TESTLIBRARY_H
#define TESTLIBRARY_H

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class MpdFixture;

class TestLibrary
{
public:
    // Runs scripts/gen-library DIR (plus extraSongs under Bulk/); bounded wait.
    static bool generate(const QString &dir, int extraSongs = 0);

    struct Song
    {
        QByteArray uri;   // raw bytes, as mpd stores them
        QByteArray tags;  // raw "Name: value\n" lines
        int seconds = 100;
    };
    // Writes an uncompressed mpd 0.23 database of count songs; directories appear in order of
    // first mention, so each directory's songs must come together.
    static bool writeDatabase(const QString &dbPath, int count, const std::function<Song(int)> &song);
    // The start of every such database: the format and the tags this mpd knows.
    static QByteArray databaseHeader();
    // A synthetic library of `songs` songs (index 0..songs-1):
    //   uri    Synthetic/Artist AAAA/Album BBBBB/TT Song IIIIII.flac
    //          with a = i / 50, b = i / 10, t = i % 10 + 1 (zero-padded)
    //   Artist "Artist AAAA"; "Ärtist AAAA" when a % 10 == 3, "Артист AAAA" when a % 10 == 7;
    //          absent when i % 97 == 13
    //   Album  "Album BBBBB"; "Albüm BBBBB" when b % 10 == 4; absent when i % 83 == 5
    //   Title  "Song IIIIII"; "Sông IIIIII" when i % 10 == 9; absent when i % 89 == 7
    //   Track t, Date 1960 + a % 60, Genre one of eight by a % 8, Time 60 + (i * 37) % 540 s.
    // mpd serves these as long as nothing rescans the music directory.
    static bool writeDatabase(const QString &dbPath, int songs);
    // A started server on a database written into dir; aborts the test program when that fails
    // (nothing can go on without it).
    static std::unique_ptr<MpdFixture> startSyntheticServer(const QString &dir, int songs,
                                                            int maxOutputBufferKiB = 0);
    static std::unique_ptr<MpdFixture> startServer(const QString &dbPath,
                                                   int maxOutputBufferKiB = 0);
    static QString syntheticSongUri(int index);
    static QString syntheticArtist(int index);  // empty when the song has no artist
    static QString syntheticAlbum(int index);   // empty when the song has no album
    static QString syntheticTitle(int index);   // empty when the song has no title
};

#endif
