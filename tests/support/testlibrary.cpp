#include "testlibrary.h"

#include "mpdfixture.h"

#include <QFile>
#include <QProcess>

namespace {

// mpd 0.23 discards a database whose tag list differs from its own, and rescans.
const char tagNames[] = "Artist ArtistSort Album AlbumSort AlbumArtist AlbumArtistSort Title "
                        "Track Name Genre Date OriginalDate Composer ComposerSort Performer "
                        "Conductor Work Movement MovementNumber Ensemble Location Grouping Disc "
                        "Label MUSICBRAINZ_ARTISTID MUSICBRAINZ_ALBUMID MUSICBRAINZ_ALBUMARTISTID "
                        "MUSICBRAINZ_TRACKID MUSICBRAINZ_RELEASETRACKID MUSICBRAINZ_WORKID";
const char *const genres[] = {"Rock", "Pop", "Jazz", "Classical", "Electronic", "Folk", "Metal",
                              "Hip-Hop"};
// Any fixed time will do; mpd only compares it with files during an update.
const QByteArray mtime = "mtime: 1600000000\n";

QString padded(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

void tag(QByteArray &out, const char *name, const QString &value)
{
    if (!value.isEmpty())
        out += QByteArray(name) + ": " + value.toUtf8() + '\n';
}

}  // namespace

bool TestLibrary::generate(const QString &dir, int extraSongs)
{
    QProcess generator;
    generator.setProcessChannelMode(QProcess::MergedChannels);
    generator.start(QStringLiteral("bash"),
                    {QStringLiteral(TUNELOOM_SOURCE_DIR "/scripts/gen-library"),
                     QStringLiteral("--count"), QString::number(extraSongs), dir});
    if (generator.waitForFinished(60000 + extraSongs * 20) && generator.exitCode() == 0)
        return true;
    qWarning().noquote() << "gen-library failed:" << generator.readAll();
    generator.kill();
    generator.waitForFinished(5000);
    return false;
}

QByteArray TestLibrary::databaseHeader()
{
    QByteArray out = "info_begin\nformat: 2\nmpd_version: 0.23.12\nfs_charset: UTF-8\n";
    for (const QByteArray &name : QByteArray(tagNames).split(' '))
        out += "tag: " + name + '\n';
    return out + "info_end\n";
}

bool TestLibrary::writeDatabase(const QString &dbPath, int count,
                                const std::function<Song(int)> &song)
{
    QFile file(dbPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = databaseHeader();
    QList<QByteArray> open;  // the directories entered, outermost first
    for (int i = 0; i <= count; ++i) {
        const Song next = i < count ? song(i) : Song();
        const QList<QByteArray> parts = next.uri.split('/');
        const QList<QByteArray> dirs = parts.mid(0, parts.size() - 1);
        while (!open.isEmpty() && dirs.mid(0, open.size()) != open) {
            out += "end: " + open.join('/') + '\n';
            open.removeLast();
        }
        if (i == count)
            break;
        while (open.size() < dirs.size()) {
            open << dirs.at(open.size());
            out += "directory: " + open.last() + '\n' + mtime + "begin: " + open.join('/') + '\n';
        }
        out += "song_begin: " + parts.last() + "\nTime: " + QByteArray::number(next.seconds)
                + ".000000\n" + next.tags + mtime + "song_end\n";
        if (out.size() > (1 << 20) && file.write(out) == out.size())
            out.clear();
    }
    return file.write(out) == out.size() && file.flush();
}

bool TestLibrary::writeDatabase(const QString &dbPath, int songs)
{
    return writeDatabase(dbPath, songs, [](int i) {
        Song song{syntheticSongUri(i).toUtf8(), QByteArray(), 60 + (i * 37) % 540};
        tag(song.tags, "Artist", syntheticArtist(i));
        tag(song.tags, "Album", syntheticAlbum(i));
        tag(song.tags, "Title", syntheticTitle(i));
        tag(song.tags, "Track", QString::number(i % 10 + 1));
        tag(song.tags, "Date", QString::number(1960 + i / 50 % 60));
        tag(song.tags, "Genre", QLatin1String(genres[i / 50 % 8]));
        song.tags += "Format: 44100:16:2\n";
        return song;
    });
}

std::unique_ptr<MpdFixture> TestLibrary::startServer(const QString &dbPath, int maxOutputBufferKiB)
{
    MpdFixture::Options options;
    options.databaseFile = dbPath;
    options.maxOutputBufferKiB = maxOutputBufferKiB;
    auto server = std::make_unique<MpdFixture>(options);
    if (!server->start())
        qFatal("mpd on %s: %s", qPrintable(dbPath), qPrintable(server->errorString()));
    return server;
}

std::unique_ptr<MpdFixture> TestLibrary::startSyntheticServer(const QString &dir, int songs,
                                                              int maxOutputBufferKiB)
{
    const QString db = dir + QStringLiteral("/synthetic.db");
    if (!writeDatabase(db, songs))
        qFatal("cannot write the synthetic database");
    return startServer(db, maxOutputBufferKiB);
}

QString TestLibrary::syntheticSongUri(int index)
{
    return QStringLiteral("Synthetic/Artist ") + padded(index / 50, 4) + QStringLiteral("/Album ")
            + padded(index / 10, 5) + QLatin1Char('/') + padded(index % 10 + 1, 2)
            + QStringLiteral(" Song ") + padded(index, 6) + QStringLiteral(".flac");
}

QString TestLibrary::syntheticArtist(int index)
{
    static const char *const names[] = {"Artist ", "Ärtist ", "Артист "};
    const int artist = index / 50;
    const int name = artist % 10 == 3 ? 1 : artist % 10 == 7 ? 2 : 0;
    return index % 97 == 13 ? QString() : QString::fromUtf8(names[name]) + padded(artist, 4);
}

QString TestLibrary::syntheticAlbum(int index)
{
    const int album = index / 10;
    return index % 83 == 5 ? QString()
                           : (album % 10 == 4 ? QStringLiteral("Albüm ") : QStringLiteral("Album "))
                    + padded(album, 5);
}

QString TestLibrary::syntheticTitle(int index)
{
    return index % 89 == 7 ? QString()
                           : (index % 10 == 9 ? QStringLiteral("Sông ") : QStringLiteral("Song "))
                    + padded(index, 6);
}
