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
// A scan of the standard library takes well under a second; a bulk one more.
constexpr int startTimeoutMs = 60000;

QString quoted(QString value)
{
    return '"' + value.replace('\\', "\\\\").replace('"', "\\\"") + '"';
}

// One short connection per exchange: the fixture keeps no socket open that a killed server
// could leave half-dead. The lines of the last answer before "OK"; false on ACK or silence.
bool exchange(int port, const QString &password, const QString &line, QStringList &answer,
              QString &error)
{
    const QDeadlineTimer deadline(commandTimeoutMs);
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", quint16(port));
    const auto readLine = [&](QByteArray &reply) {
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(int(deadline.remainingTime())) || deadline.hasExpired())
                return false;
        reply = socket.readLine().chopped(1);
        return true;
    };
    QByteArray reply;
    if (!socket.waitForConnected(commandTimeoutMs) || !readLine(reply) || !reply.startsWith("OK MPD ")) {
        error = QString("no mpd greeting on port %1: %2").arg(port).arg(socket.errorString());
        return false;
    }
    QStringList requests(line);
    if (!password.isEmpty())
        requests.prepend("password " + quoted(password));
    for (const QString &request : requests) {
        socket.write(request.toUtf8() + '\n');
        answer.clear();
        while (readLine(reply) && reply != "OK") {
            if (reply.startsWith("ACK ")) {
                error = QString::fromUtf8(reply);
                return false;
            }
            answer << QString::fromUtf8(reply);
        }
        if (reply != "OK") {
            error = "no answer to " + request;
            return false;
        }
    }
    return true;
}

}  // namespace

MpdFixture::MpdFixture() = default;

MpdFixture::MpdFixture(const Options &options) : options(options) { }

MpdFixture::~MpdFixture()
{
    stop();
}

QString MpdFixture::dir() const
{
    return tempDir ? tempDir->path() : QString();
}

QString MpdFixture::logFile() const
{
    return dir() + "/mpd.log";
}

qint64 MpdFixture::pid() const
{
    return isRunning() ? process->processId() : 0;
}

bool MpdFixture::isRunning() const
{
    return process && process->state() != QProcess::NotRunning;
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

bool MpdFixture::restart()
{
    stop();
    return tempDir && launch();
}

bool MpdFixture::writeConfig() const
{
    QStringList lines;
    const auto add = [&lines](const char *key, const QString &value) { lines << key + (' ' + quoted(value)); };
    add("music_directory", musicDirectory);
    add("playlist_directory", dir() + "/playlists");
    add("log_file", logFile());
    add("pid_file", dir() + "/mpd.pid");
    add("state_file", dir() + "/mpd.state");
    add("bind_to_address", host());
    add("port", QString::number(serverPort));
    add("auto_update", "no");
    add("zeroconf_enabled", "no");
    add("filesystem_charset", "UTF-8");
    // With a password and no default permissions, a client that has not logged in may do nothing.
    if (!options.password.isEmpty())
        add("password", options.password + "@read,add,control,admin");
    if (!options.password.isEmpty() && !options.guestPermissions.isEmpty())
        add("default_permissions", options.guestPermissions);
    if (!options.logLevel.isEmpty())
        add("log_level", options.logLevel);
    if (options.maxOutputBufferKiB > 0)
        add("max_output_buffer_size", QString::number(options.maxOutputBufferKiB));
    // Uncompressed, so tests (and TestLibrary::writeDatabase) can read and write it.
    lines << "database {" << "  plugin \"simple\"" << "  path " + quoted(dir() + "/mpd.db")
          << "  compress \"no\"" << "}";
    // Two outputs, so that switching one off leaves the other playing.
    for (const char *name : {"Null A", "Null B"})
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
    // A missing database makes mpd scan at start; "updating_db" is in the status until it ends.
    const bool ready = QTest::qWaitFor(
            [this] {
                QStringList status;
                return !isRunning()
                        || (exchange(serverPort, options.password, "status", status, error)
                            && status.filter("updating_db:").isEmpty());
            },
            startTimeoutMs);
    // mpd throws away a database it cannot read and rescans: tests would see an empty library.
    const QString output = isRunning() ? QString::fromLocal8Bit(process->readAll()) : QString();
    if (ready && isRunning() && !output.contains("discarding database")) {
        error.clear();
        return true;
    }
    QFile log(logFile());
    log.open(QIODevice::ReadOnly);
    error = "mpd did not start: " + error + ' ' + output + QString::fromUtf8(log.readAll().right(1500));
    stop();
    return false;
}

void MpdFixture::stop()
{
    if (isRunning()) {
        process->terminate();  // mpd saves its state file
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

void MpdFixture::kill()
{
    if (isRunning()) {
        process->kill();
        process->waitForFinished(5000);
    }
    process.reset();
}

QStringList MpdFixture::command(const QString &line) const
{
    QStringList answer;
    error.clear();
    if (!exchange(serverPort, options.password, line, answer, error))
        answer.clear();
    return answer;
}

bool MpdFixture::send(const QString &line) const
{
    QStringList answer;
    error.clear();
    return exchange(serverPort, options.password, line, answer, error);
}

QString MpdFixture::statusValue(const QString &field) const
{
    const QStringList found = command("status").filter(QRegularExpression('^' + field + ": "));
    return found.isEmpty() ? QString() : found.first().mid(field.size() + 2);
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
    if (!client.waitForFinished(commandTimeoutMs))
        client.kill();
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
