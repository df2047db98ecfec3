#include "mpdfixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace {
constexpr int commandTimeoutMs = 5000;
constexpr int startTimeoutMs = 60000; // a bulk library takes a while to scan

QString quoted(QString value)
{
    return '"' + value.replace('\\', "\\\\").replace('"', "\\\"") + '"';
}
// mpd 0.23 discards a database whose tag list differs from its own, and rescans.
const char tagNames[] = "Artist ArtistSort Album AlbumSort AlbumArtist AlbumArtistSort Title Track Name "
        "Genre Date OriginalDate Composer ComposerSort Performer Conductor Work Movement MovementNumber "
        "Ensemble Location Grouping Disc Label MUSICBRAINZ_ARTISTID MUSICBRAINZ_ALBUMID "
        "MUSICBRAINZ_ALBUMARTISTID MUSICBRAINZ_TRACKID MUSICBRAINZ_RELEASETRACKID MUSICBRAINZ_WORKID";
const char *const genres[] = {"Rock", "Pop", "Jazz", "Classical", "Electronic", "Folk", "Metal", "Hip-Hop"};
const QByteArray mtime = "mtime: 1600000000\n";

QString padded(int number, int width)
{
    return QString::number(number).rightJustified(width, '0');
}
}  // namespace

// One short connection per exchange: no socket kept open that a killed server could leave half-dead.
std::optional<QStringList> MpdFixture::exchange(const QString &line) const
{
    const QDeadlineTimer deadline(commandTimeoutMs);
    QTcpSocket socket;
    socket.connectToHost(host(), quint16(serverPort));
    QByteArray reply;
    const auto readLine = [&] {
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(int(deadline.remainingTime())) || deadline.hasExpired())
                return false;
        reply = socket.readLine().chopped(1);
        return true;
    };
    error.clear();
    if (!socket.waitForConnected(commandTimeoutMs) || !readLine() || !reply.startsWith("OK MPD ")) {
        error = QString("no mpd greeting on port %1: %2").arg(serverPort).arg(socket.errorString());
        return {};
    }
    QStringList answer, requests(line);
    if (!options.password.isEmpty())
        requests.prepend("password " + quoted(options.password));
    for (const QString &request : requests) {
        socket.write(request.toUtf8() + '\n');
        answer.clear();
        while (readLine() && reply != "OK" && !reply.startsWith("ACK "))
            answer << QString::fromUtf8(reply);
        if (reply != "OK") {
            error = reply.startsWith("ACK ") ? QString::fromUtf8(reply) : "no answer to " + request;
            return {};
        }
    }
    return answer;
}

bool MpdFixture::start(const QString &musicDir)
{
    stop();
    program = QStandardPaths::findExecutable("mpd");
    tempDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tuneloom-mpd-XXXXXX");
    musicDirectory = QDir(musicDir.isEmpty() ? dir() + "/music" : musicDir).absolutePath();
    if (program.isEmpty() || !QDir().mkpath(musicDirectory) || !QDir().mkpath(dir() + "/playlists")
        || (!options.databaseFile.isEmpty() && !QFile::copy(options.databaseFile, dir() + "/mpd.db"))) {
        error = program.isEmpty() ? "mpd is not installed (apt-get install mpd)" : "cannot set up " + dir();
        return false;
    }
    // The port is free now; if another process takes it before mpd binds it, try another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QTcpServer probe;
        serverPort = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
        probe.close();
        if (writeConfig() && launch())
            return true;
    }
    return false;
}

bool MpdFixture::writeConfig() const
{
    QStringList lines;
    const QList<std::pair<const char *, QString>> settings{
        {"music_directory", musicDirectory}, {"playlist_directory", dir() + "/playlists"},
        {"log_file", logFile()}, {"pid_file", dir() + "/mpd.pid"}, {"state_file", dir() + "/mpd.state"},
        {"bind_to_address", host()}, {"port", QString::number(serverPort)}, {"auto_update", "no"},
        {"zeroconf_enabled", "no"}, {"filesystem_charset", "UTF-8"},
        // Without default permissions a client that has not logged in may do nothing.
        {"password", options.password.isEmpty() ? "" : options.password + "@read,add,control,admin"},
        {"default_permissions", options.password.isEmpty() ? "" : options.guestPermissions},
        {"max_output_buffer_size", options.maxOutputBufferKiB > 0 ? QString::number(options.maxOutputBufferKiB) : ""},
        {"log_level", options.logLevel},
        {"sticker_file", options.stickers ? dir() + "/sticker.sql" : ""}};
    for (const auto &[key, value] : settings)
        lines << (value.isEmpty() ? QString() : key + (' ' + quoted(value)));
    for (const QString &socket : socketPaths)
        lines << "bind_to_address " + quoted(socket);
    // Uncompressed, so that TestLibrary::writeDatabase can write it.
    lines << "database {" << "  plugin \"simple\"" << "  path " + quoted(dir() + "/mpd.db")
          << "  compress \"no\"" << "}";
    for (const char *name : {"Null A", "Null B"}) // switching one off leaves the other playing
        lines << "audio_output {" << "  type \"null\"" << "  name " + quoted(name)
              << "  mixer_type " + quoted(options.mixer ? "software" : "none") << "}";
    QFile file(dir() + "/mpd.conf");
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(lines.join('\n').toUtf8() + '\n') > 0;
}

bool MpdFixture::launch()
{
    process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    // If the test crashes, its destructors never run: the kernel then ends mpd.
    process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start(program, {"--no-daemon", dir() + "/mpd.conf"});
    // Without a database mpd scans at start; "updating_db" is in the status until it ends.
    const bool ready = QTest::qWaitFor([this] {
        const auto status = exchange("status");
        return !isRunning() || (status && status->filter("updating_db:").isEmpty());
    }, startTimeoutMs);
    // mpd throws away a database it cannot read and rescans: tests would see an empty library.
    const QString output = isRunning() ? QString::fromLocal8Bit(process->readAll()) : QString();
    if (ready && isRunning() && !output.contains("discarding database"))
        return true; // the last status exchange cleared error
    QFile log(logFile());
    log.open(QIODevice::ReadOnly);
    error = "mpd did not start: " + error + ' ' + output + QString::fromUtf8(log.readAll().right(1500));
    stop();
    return false;
}

void MpdFixture::stop()
{
    if (isRunning())
        process->terminate(), process->waitForFinished(5000);
    kill(); // if it lingers
}

void MpdFixture::kill()
{
    if (isRunning())
        process->kill(), process->waitForFinished(5000);
    process.reset();
}

QString MpdFixture::statusValue(const QString &field) const
{
    return command("status").filter(QRegularExpression('^' + field + ": ")).value(0).mid(field.size() + 2);
}

QStringList MpdFixture::queue() const
{
    return command("playlistinfo").filter(QRegularExpression("^file: ")).replaceInStrings(QRegularExpression("^file: "), "");
}

bool MpdFixture::add(const QStringList &uris) const
{
    QStringList lines{"command_list_begin"};
    for (const QString &uri : uris)
        lines << "add " + quoted(uri);
    return send((lines << "command_list_end").join('\n'));
}

bool MpdFixture::updateDatabase(const QString &path) const
{
    // Jobs run in order, so once no job is left ours has ended too.
    return !command(path.isEmpty() ? "update" : "update " + quoted(path)).isEmpty()
            && QTest::qWaitFor([this] { return send("status") && statusValue("updating_db").isEmpty(); }, startTimeoutMs);
}

QStringList MpdFixture::mpc(const QStringList &args) const
{
    QProcess client;
    const QString login = options.password.isEmpty() ? QString() : options.password + '@';
    client.start("mpc", QStringList{"-h", login + host(), "-p", QString::number(serverPort)} + args);
    client.waitForFinished(commandTimeoutMs); // QProcess ends one that hangs
    error = QString::fromUtf8(client.readAllStandardError()).trimmed();
    return QString::fromUtf8(client.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

bool MpdFixture::resetState()
{
    QStringList commands{"command_list_begin", "clear", "stop", "repeat 0", "random 0", "single 0",
                         "consume 0", "crossfade 0", "enableoutput 0", "enableoutput 1",
                         "replay_gain_mode off", "clearerror"};
    if (options.mixer)
        commands << "setvol 100";
    for (const QString &line : command("listplaylists").filter(QRegularExpression("^playlist: ")))
        commands << "rm " + quoted(line.mid(10));
    return send((commands << "command_list_end").join('\n'));
}



bool TestLibrary::generate(const QString &dir, int extraSongs)
{
    QProcess generator;
    generator.setProcessChannelMode(QProcess::MergedChannels);
    generator.start("bash", {TUNELOOM_SOURCE_DIR "/scripts/gen-library", "--count", QString::number(extraSongs), dir});
    if (generator.waitForFinished(60000 + extraSongs * 20) && generator.exitCode() == 0)
        return true;
    qWarning().noquote() << "gen-library failed:" << generator.readAll();
    return false; // QProcess ends a generator that hangs
}

QByteArray TestLibrary::databaseHeader()
{
    QByteArray out = "info_begin\nformat: 2\nmpd_version: 0.23.12\nfs_charset: UTF-8\n";
    for (const QByteArray &name : QByteArray(tagNames).split(' '))
        out += "tag: " + name + '\n';
    return out + "info_end\n";
}

bool TestLibrary::writeDatabase(const QString &dbPath, int count, const std::function<Song(int)> &song)
{
    QFile file(dbPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = databaseHeader();
    QList<QByteArray> open; // the directories entered, outermost first
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
        const QList<std::pair<const char *, QString>> tags{{"Artist", syntheticArtist(i)},
            {"Album", syntheticAlbum(i)}, {"Title", syntheticTitle(i)}, {"Track", QString::number(i % 10 + 1)},
            {"Date", QString::number(1960 + i / 50 % 60)}, {"Genre", genres[i / 50 % 8]}, {"Format", "44100:16:2"}};
        for (const auto &[name, value] : tags)
            song.tags += value.isEmpty() ? QByteArray() : name + (": " + value.toUtf8()) + '\n';
        return song;
    });
}

std::unique_ptr<MpdFixture> TestLibrary::startServer(const QString &dbPath, int maxOutputBufferKiB)
{
    auto server = std::make_unique<MpdFixture>(MpdFixture::Options{{}, {}, maxOutputBufferKiB, dbPath, true, {}});
    if (!server->start())
        qFatal("mpd on %s: %s", qPrintable(dbPath), qPrintable(server->errorString()));
    return server;
}

std::unique_ptr<MpdFixture> TestLibrary::startSyntheticServer(const QString &dir, int songs, int maxOutputBufferKiB)
{
    if (!writeDatabase(dir + "/synthetic.db", songs))
        qFatal("cannot write the synthetic database");
    return startServer(dir + "/synthetic.db", maxOutputBufferKiB);
}

QString TestLibrary::syntheticSongUri(int index)
{
    return "Synthetic/Artist " + padded(index / 50, 4) + "/Album " + padded(index / 10, 5) + '/'
            + padded(index % 10 + 1, 2) + " Song " + padded(index, 6) + ".flac";
}

QString TestLibrary::syntheticArtist(int index)
{
    static const char *const names[] = {"Artist ", "Ärtist ", "Артист "};
    const int artist = index / 50;
    return index % 97 == 13 ? QString() : names[artist % 10 == 3 ? 1 : artist % 10 == 7 ? 2 : 0] + padded(artist, 4);
}

QString TestLibrary::syntheticAlbum(int index)
{
    return index % 83 == 5 ? QString() : (index / 10 % 10 == 4 ? "Albüm " : "Album ") + padded(index / 10, 5);
}

QString TestLibrary::syntheticTitle(int index)
{
    return index % 89 == 7 ? QString() : (index % 10 == 9 ? "Sông " : "Song ") + padded(index, 6);
}
