#include "testlibrary.h"

#include "mpdfixture.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>

Q_LOGGING_CATEGORY(lcTestLibrary, "tuneloom.test.library")

namespace {

constexpr int songsPerAlbum = 10;
constexpr int songsPerArtist = 50;
// Encoding is cheap (silence); a few thousand bulk songs still take a while.
constexpr int generateBaseTimeoutMs = 60000;

// mpd 0.23 discards a database whose tag list lacks a tag it knows, and then
// rescans: the list must match the server's exactly.
const char header[] = "info_begin\n"
                              "format: 2\n"
                              "mpd_version: 0.23.12\n"
                              "fs_charset: UTF-8\n"
                              "tag: Artist\n"
                              "tag: ArtistSort\n"
                              "tag: Album\n"
                              "tag: AlbumSort\n"
                              "tag: AlbumArtist\n"
                              "tag: AlbumArtistSort\n"
                              "tag: Title\n"
                              "tag: Track\n"
                              "tag: Name\n"
                              "tag: Genre\n"
                              "tag: Date\n"
                              "tag: OriginalDate\n"
                              "tag: Composer\n"
                              "tag: ComposerSort\n"
                              "tag: Performer\n"
                              "tag: Conductor\n"
                              "tag: Work\n"
                              "tag: Movement\n"
                              "tag: MovementNumber\n"
                              "tag: Ensemble\n"
                              "tag: Location\n"
                              "tag: Grouping\n"
                              "tag: Disc\n"
                              "tag: Label\n"
                              "tag: MUSICBRAINZ_ARTISTID\n"
                              "tag: MUSICBRAINZ_ALBUMID\n"
                              "tag: MUSICBRAINZ_ALBUMARTISTID\n"
                              "tag: MUSICBRAINZ_TRACKID\n"
                              "tag: MUSICBRAINZ_RELEASETRACKID\n"
                              "tag: MUSICBRAINZ_WORKID\n"
                              "info_end\n";

const char *const genres[]
        = {"Rock", "Pop", "Jazz", "Classical", "Electronic", "Folk", "Metal", "Hip-Hop"};

// Any fixed time will do; mpd only compares it with files during an update.
constexpr qint64 fixedMtime = 1600000000;

QString padded(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

QString artistDirectory(int artist)
{
    return QStringLiteral("Artist ") + padded(artist, 4);
}

QString albumDirectory(int album)
{
    return QStringLiteral("Album ") + padded(album, 5);
}

QString songFileName(int index)
{
    return padded(index % songsPerAlbum + 1, 2) + QStringLiteral(" Song ") + padded(index, 6)
            + QStringLiteral(".flac");
}

void appendTag(QByteArray &out, const char *name, const QString &value)
{
    if (!value.isEmpty())
        out += QByteArray(name) + ": " + value.toUtf8() + '\n';
}

void appendSong(QByteArray &out, int index)
{
    const int artist = index / songsPerArtist;
    out += "song_begin: " + songFileName(index).toUtf8() + '\n';
    out += "Time: " + QByteArray::number(60 + (index * 37) % 540) + ".000000\n";
    appendTag(out, "Artist", TestLibrary::syntheticArtist(index));
    appendTag(out, "Album", TestLibrary::syntheticAlbum(index));
    appendTag(out, "Title", TestLibrary::syntheticTitle(index));
    appendTag(out, "Track", QString::number(index % songsPerAlbum + 1));
    appendTag(out, "Date", QString::number(1960 + artist % 60));
    appendTag(out, "Genre", QLatin1String(genres[artist % 8]));
    out += "Format: 44100:16:2\nmtime: " + QByteArray::number(fixedMtime) + "\nsong_end\n";
}

void openDirectory(QByteArray &out, const QString &parent, const QString &name)
{
    const QString path = parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
    out += "directory: " + name.toUtf8() + "\nmtime: " + QByteArray::number(fixedMtime)
            + "\nbegin: " + path.toUtf8() + '\n';
}

void closeDirectory(QByteArray &out, const QString &path)
{
    out += "end: " + path.toUtf8() + '\n';
}

}  // namespace

bool TestLibrary::generate(const QString &dir, int extraSongs)
{
    const QString script = QStringLiteral(TUNELOOM_SOURCE_DIR "/scripts/gen-library");
    QProcess generator;
    generator.setProcessChannelMode(QProcess::MergedChannels);
    generator.start(QStringLiteral("bash"),
                    {script, QStringLiteral("--count"), QString::number(extraSongs), dir});
    const int timeoutMs = generateBaseTimeoutMs + extraSongs * 20;
    if (!generator.waitForFinished(timeoutMs)) {
        qCWarning(lcTestLibrary) << "gen-library did not finish within" << timeoutMs << "ms"
                                 << generator.errorString();
        generator.kill();
        generator.waitForFinished(5000);
        return false;
    }
    if (generator.exitStatus() != QProcess::NormalExit || generator.exitCode() != 0) {
        qCWarning(lcTestLibrary).noquote() << "gen-library failed:" << generator.readAll();
        return false;
    }
    return true;
}

QString TestLibrary::syntheticSongUri(int index)
{
    return QStringLiteral("Synthetic/") + artistDirectory(index / songsPerArtist) + QLatin1Char('/')
            + albumDirectory(index / songsPerAlbum) + QLatin1Char('/') + songFileName(index);
}

QString TestLibrary::syntheticArtist(int index)
{
    if (index % 97 == 13)
        return QString();
    const int artist = index / songsPerArtist;
    const QString number = padded(artist, 4);
    switch (artist % 10) {
    case 3:
        return QStringLiteral("Ärtist ") + number;
    case 7:
        return QStringLiteral("Артист ") + number;
    default:
        return QStringLiteral("Artist ") + number;
    }
}

QString TestLibrary::syntheticAlbum(int index)
{
    if (index % 83 == 5)
        return QString();
    const int album = index / songsPerAlbum;
    return (album % 10 == 4 ? QStringLiteral("Albüm ") : QStringLiteral("Album "))
            + padded(album, 5);
}

QString TestLibrary::syntheticTitle(int index)
{
    if (index % 89 == 7)
        return QString();
    return (index % 10 == 9 ? QStringLiteral("Sông ") : QStringLiteral("Song ")) + padded(index, 6);
}

bool TestLibrary::writeDatabase(const QString &dbPath, int songs)
{
    QFile file(dbPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCWarning(lcTestLibrary) << "cannot write" << dbPath << file.errorString();
        return false;
    }
    const QString top = QStringLiteral("Synthetic");
    QByteArray out(header);
    if (songs > 0)
        openDirectory(out, QString(), top);
    QString artistPath;
    QString albumPath;
    for (int index = 0; index < songs; ++index) {
        const bool newArtist = index % songsPerArtist == 0;
        const bool newAlbum = index % songsPerAlbum == 0;
        if (newAlbum && index > 0)
            closeDirectory(out, albumPath);
        if (newArtist && index > 0)
            closeDirectory(out, artistPath);
        if (newArtist) {
            openDirectory(out, top, artistDirectory(index / songsPerArtist));
            artistPath = top + QLatin1Char('/') + artistDirectory(index / songsPerArtist);
        }
        if (newAlbum) {
            openDirectory(out, artistPath, albumDirectory(index / songsPerAlbum));
            albumPath = artistPath + QLatin1Char('/') + albumDirectory(index / songsPerAlbum);
        }
        appendSong(out, index);
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    if (songs > 0) {
        closeDirectory(out, albumPath);
        closeDirectory(out, artistPath);
        closeDirectory(out, top);
    }
    if (file.write(out) != out.size() || !file.flush()) {
        qCWarning(lcTestLibrary) << "cannot write" << dbPath << file.errorString();
        return false;
    }
    return true;
}

QByteArray TestLibrary::databaseHeader()
{
    return QByteArray(header);
}

std::unique_ptr<MpdFixture> TestLibrary::startSyntheticServer(const QString &dir, int songs)
{
    const QString db = dir + QStringLiteral("/synthetic.db");
    if (!writeDatabase(db, songs))
        qFatal("cannot write the synthetic database");
    MpdFixture::Options options;
    options.databaseFile = db;
    auto server = std::make_unique<MpdFixture>(options);
    if (!server->start())
        qFatal("synthetic mpd: %s", qPrintable(server->errorString()));
    return server;
}
