#include "realisticlibrary.h"

#include "mpdfixture.h"

#include <QFile>

#include <cmath>

namespace {

constexpr qint64 fixedMtime = 1600000000;
constexpr int maxSongsPerArtist = 300;
constexpr int compilationShare = 20;  // one song in 20 is on a compilation
constexpr int compilationTracks = 16;
const QString variousArtists = QStringLiteral("Various Artists");

const char *const adjectives[]
        = {"Crimson", "Silent", "Golden", "Electric", "Hollow",  "Velvet",  "Northern", "Broken",
           "Neon",    "Wild",   "Lonely", "Frozen",   "Burning", "Distant", "Mötley",   "Ночной"};
const char *const nouns[]
        = {"Harbor",     "Echoes",  "Lanterns", "Rivers",   "Engines", "Saints",
           "Tides",      "Wolves",  "Gardens",  "Machines", "Skies",   "Orchestra",
           "Collective", "Quartet", "Sisters",  "Brothers"};
const char *const genres[] = {"Rock", "Pop",   "Jazz",    "Classical", "Electronic",
                              "Folk", "Metal", "Hip-Hop", "Soul",      "Ambient"};
const char *const labels[] = {"Northern Lights Records", "Blue Harbor Music", "Sonic Atlas",
                              "Paper Moon Recordings", "Independent"};

quint64 mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

QByteArray musicBrainzId(quint64 seed)
{
    const QByteArray hex = QByteArray::number(mix(seed), 16).rightJustified(16, '0')
            + QByteArray::number(mix(seed + 1), 16).rightJustified(16, '0');
    return hex.mid(0, 8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-'
            + hex.mid(20, 12);
}

QString artistName(int artist)
{
    return QStringLiteral("%1 %2 %3")
            .arg(QString::fromUtf8(adjectives[artist % 16]), QLatin1String(nouns[artist / 16 % 16]))
            .arg(artist);
}

QString sortName(const QString &name)
{
    const int space = name.indexOf(QLatin1Char(' '));
    return name.mid(space + 1) + QStringLiteral(", ") + name.left(space);
}

// About 20 characters, like most real titles.
QString titleOf(quint64 song)
{
    return QStringLiteral("%1 of %2 %3")
            .arg(QLatin1String(nouns[mix(song) % 16]),
                 QString::fromUtf8(adjectives[mix(song + 7) % 16]),
                 QLatin1String(nouns[mix(song + 9) % 16]));
}

struct Album
{
    QString artist;  // the album artist
    QString title;
    int artistNumber = 0;
    int number = 0;
    int year = 0;
};

class Writer
{
public:
    explicit Writer(QFile *file) : file(file) { out = TestLibrary::databaseHeader(); }

    void openDirectory(const QString &parent, const QString &name)
    {
        const QString path = parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
        out += "directory: " + name.toUtf8() + "\nmtime: " + QByteArray::number(fixedMtime)
                + "\nbegin: " + path.toUtf8() + '\n';
        paths.append(path);
    }
    void closeDirectory() { out += "end: " + paths.takeLast().toUtf8() + '\n'; }
    void tag(const char *name, const QString &value)
    {
        out += QByteArray(name) + ": " + value.toUtf8() + '\n';
    }
    void tag(const char *name, const QByteArray &value)
    {
        out += QByteArray(name) + ": " + value + '\n';
    }

    void song(const Album &album, int track, const QString &songArtist, int artistNumber,
              quint64 id)
    {
        const QString title = titleOf(id);
        out += "song_begin: "
                + QStringLiteral("%1 %2.flac")
                          .arg(track, 2, 10, QLatin1Char('0'))
                          .arg(title)
                          .toUtf8()
                + '\n';
        out += "Time: " + QByteArray::number(120 + mix(id) % 300) + ".000000\n";
        tag("Artist", songArtist);
        if (id % 10 == 3)  // a guest: a second Artist line
            tag("Artist", artistName(int(mix(id) % 5000)));
        tag("ArtistSort", sortName(songArtist));
        tag("Album", album.title);
        tag("AlbumSort", album.title);
        tag("AlbumArtist", album.artist);
        tag("AlbumArtistSort", sortName(album.artist));
        tag("Title", title);
        tag("Track", QString::number(track));
        tag("Disc", QStringLiteral("1"));
        tag("Date", QStringLiteral("%1-05-11").arg(album.year));
        tag("OriginalDate", QString::number(album.year));
        tag("Genre", QLatin1String(genres[album.artistNumber % 10]));
        tag("Composer", artistName(artistNumber + 7));
        tag("ComposerSort", sortName(artistName(artistNumber + 7)));
        tag("Performer", songArtist + QStringLiteral(" (vocals)"));
        tag("Performer", artistName(artistNumber + 11) + QStringLiteral(" (guitar)"));
        tag("Label", QLatin1String(labels[album.number % 5]));
        tag("MUSICBRAINZ_ARTISTID", musicBrainzId(quint64(artistNumber) << 32));
        tag("MUSICBRAINZ_ALBUMID", musicBrainzId((quint64(album.number) << 32) + 1));
        tag("MUSICBRAINZ_ALBUMARTISTID", musicBrainzId(quint64(album.artistNumber) << 32));
        tag("MUSICBRAINZ_TRACKID", musicBrainzId((id << 8) + 2));
        tag("MUSICBRAINZ_RELEASETRACKID", musicBrainzId((id << 8) + 3));
        out += "Format: 44100:16:2\nmtime: " + QByteArray::number(fixedMtime) + "\nsong_end\n";
    }

    bool flush(bool always)
    {
        if (!always && out.size() < (1 << 20))
            return true;
        const bool written = file->write(out) == out.size();
        out.clear();
        return written;
    }

private:
    QFile *file;
    QByteArray out;
    QStringList paths;
};

// 1 to 300, most artists with few songs and a few with many.
int songsOfArtist(int artist)
{
    const double u = double(mix(quint64(artist) + 12345) % 10000) / 10000.0;
    return 1 + int(std::floor((maxSongsPerArtist - 1) * u * u * u));
}

}  // namespace

bool RealisticLibrary::writeDatabase(const QString &dbPath, int songs)
{
    QFile file(dbPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    Writer writer(&file);
    const int compilationSongs = songs / compilationShare;
    quint64 id = 0;
    int albumNumber = 0;
    for (int artist = 0; id < quint64(songs - compilationSongs); ++artist) {
        const QString name = artistName(artist);
        int left = qMin(songsOfArtist(artist), int(songs - compilationSongs - id));
        writer.openDirectory(QString(), name);
        for (int albumOfArtist = 1; left > 0; ++albumOfArtist) {
            const int tracks = qMin(left, 8 + int(mix(quint64(albumNumber)) % 7));
            const Album album{
                    name,
                    QStringLiteral("%1 %2").arg(titleOf(quint64(albumNumber))).arg(albumOfArtist),
                    artist, albumNumber++, 1960 + int(mix(quint64(artist)) % 60)};
            writer.openDirectory(name, album.title);
            for (int track = 1; track <= tracks; ++track)
                writer.song(album, track, name, artist, id++);
            writer.closeDirectory();
            left -= tracks;
            if (!writer.flush(false))
                return false;
        }
        writer.closeDirectory();
    }
    if (compilationSongs > 0)
        writer.openDirectory(QString(), variousArtists);
    for (int done = 0; done < compilationSongs; ++albumNumber) {
        const int tracks = qMin(compilationTracks, compilationSongs - done);
        const Album album{variousArtists, QStringLiteral("Compilation %1").arg(albumNumber), 999999,
                          albumNumber, 1990 + albumNumber % 30};
        writer.openDirectory(variousArtists, album.title);
        for (int track = 1; track <= tracks; ++track) {
            const int artist = int(mix(id) % 5000);
            writer.song(album, track, artistName(artist), artist, id++);
        }
        writer.closeDirectory();
        done += tracks;
        if (!writer.flush(false))
            return false;
    }
    if (compilationSongs > 0)
        writer.closeDirectory();
    return writer.flush(true) && file.flush();
}
