#include "mpdfixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

#include <csignal>
#include <sys/prctl.h>

Q_LOGGING_CATEGORY(lcMpdFixture, "tuneloom.test.mpdfixture")

namespace {

constexpr int connectTimeoutMs = 10000;
// A scan of the standard library takes well under a second; a bulk one more.
constexpr int scanTimeoutMs = 60000;
constexpr int commandTimeoutMs = 5000;
constexpr int stopTimeoutMs = 5000;
constexpr int startAttempts = 3;

int freePort()
{
    // The port is free now; mpd binds it a moment later. A clash with another
    // process in between makes mpd exit, and start() tries another port.
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

QString quoted(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

bool isUpdating(const QStringList &status)
{
    return std::any_of(status.cbegin(), status.cend(), [](const QString &line) {
        return line.startsWith(QLatin1String("updating_db:"));
    });
}

bool readLine(QTcpSocket &socket, const QDeadlineTimer &deadline, QByteArray &line)
{
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    line = socket.readLine();
    line.chop(1);
    return true;
}

// One short connection per exchange: the fixture keeps no socket open that a
// killed server could leave half-dead.
bool exchange(int port, const QString &password, const QString &line, QStringList &response,
              QString &error)
{
    QDeadlineTimer deadline(commandTimeoutMs);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    QByteArray reply;
    if (!socket.waitForConnected(int(deadline.remainingTime())) ||
        !readLine(socket, deadline, reply) || !reply.startsWith("OK MPD ")) {
        error =
            QStringLiteral("no mpd greeting on port %1: %2").arg(port).arg(socket.errorString());
        return false;
    }
    QStringList lines;
    if (!password.isEmpty())
        lines << QStringLiteral("password ") + quoted(password);
    lines << line;
    for (const QString &request : std::as_const(lines)) {
        socket.write(request.toUtf8() + '\n');
        response.clear();
        for (;;) {
            if (!readLine(socket, deadline, reply)) {
                error = QStringLiteral("no answer to '%1'").arg(request);
                return false;
            }
            if (reply == "OK")
                break;
            if (reply.startsWith("ACK ")) {
                error = QString::fromUtf8(reply);
                return false;
            }
            response << QString::fromUtf8(reply);
        }
    }
    return true;
}

} // namespace

MpdFixture::MpdFixture() = default;

MpdFixture::MpdFixture(const Options &options) : options(options) {}

MpdFixture::~MpdFixture()
{
    stop();
}

QString MpdFixture::dir() const
{
    return tempDir ? tempDir->path() : QString();
}

QString MpdFixture::configFile() const
{
    return dir() + QStringLiteral("/mpd.conf");
}

QString MpdFixture::logFile() const
{
    return dir() + QStringLiteral("/mpd.log");
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
    error.clear();
    program = QStandardPaths::findExecutable(QStringLiteral("mpd"));
    if (program.isEmpty()) {
        error = QStringLiteral("mpd is not installed (apt-get install mpd)");
        return false;
    }
    tempDir =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tuneloom-mpd-XXXXXX"));
    if (!tempDir->isValid()) {
        error = QStringLiteral("cannot create a temporary directory: ") + tempDir->errorString();
        return false;
    }
    musicDirectory = musicDir;
    if (musicDirectory.isEmpty()) {
        musicDirectory = dir() + QStringLiteral("/music");
        QDir().mkpath(musicDirectory);
    }
    musicDirectory = QDir(musicDirectory).absolutePath();
    if (!QFileInfo(musicDirectory).isDir()) {
        error = QStringLiteral("music directory %1 does not exist").arg(musicDirectory);
        return false;
    }
    QDir().mkpath(dir() + QStringLiteral("/playlists"));
    if (!options.databaseFile.isEmpty() &&
        !QFile::copy(options.databaseFile, dir() + QStringLiteral("/mpd.db"))) {
        error = QStringLiteral("cannot copy database %1").arg(options.databaseFile);
        return false;
    }
    for (int attempt = 1; attempt <= startAttempts; ++attempt) {
        serverPort = freePort();
        if (writeConfig() && launch())
            return true;
        if (!error.contains(QLatin1String("Failed to bind")))
            break;
        qCWarning(lcMpdFixture) << "mpd did not start, attempt" << attempt << error;
    }
    return false;
}

bool MpdFixture::restart()
{
    if (!tempDir) {
        error = QStringLiteral("restart() before start()");
        return false;
    }
    stop();
    error.clear();
    return launch();
}

bool MpdFixture::writeConfig() const
{
    QStringList lines;
    auto add = [&lines](const char *key, const QString &value) {
        lines << QLatin1String(key) + QLatin1Char(' ') + quoted(value);
    };
    add("music_directory", musicDirectory);
    add("playlist_directory", dir() + QStringLiteral("/playlists"));
    add("log_file", logFile());
    add("pid_file", dir() + QStringLiteral("/mpd.pid"));
    add("state_file", dir() + QStringLiteral("/mpd.state"));
    add("bind_to_address", host());
    add("port", QString::number(serverPort));
    add("auto_update", QStringLiteral("no"));
    add("zeroconf_enabled", QStringLiteral("no"));
    add("filesystem_charset", QStringLiteral("UTF-8"));
    if (!options.password.isEmpty()) {
        // With a password and no default_permissions, a client that has not
        // logged in may do nothing at all, as on a locked-down real server.
        add("password", options.password + QStringLiteral("@read,add,control,admin"));
    }
    if (options.maxOutputBufferKiB > 0)
        add("max_output_buffer_size", QString::number(options.maxOutputBufferKiB));
    // Uncompressed, so tests (and TestLibrary::writeDatabase) can read and write it.
    lines << QStringLiteral("database {") << QStringLiteral("  plugin \"simple\"")
          << QStringLiteral("  path ") + quoted(dir() + QStringLiteral("/mpd.db"))
          << QStringLiteral("  compress \"no\"") << QStringLiteral("}");
    lines << QStringLiteral("audio_output {") << QStringLiteral("  type \"null\"")
          << QStringLiteral("  name \"null\"")
          << QStringLiteral("  mixer_type ") +
            quoted(options.mixer ? QStringLiteral("software") : QStringLiteral("none"))
          << QStringLiteral("}");

    QFile file(configFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') < 0) {
        error = QStringLiteral("cannot write %1").arg(configFile());
        return false;
    }
    return true;
}

bool MpdFixture::launch()
{
    process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    // If the test crashes, its destructors never run: the kernel then ends mpd
    // instead of leaving it behind on a port.
    process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start(program, {QStringLiteral("--no-daemon"), configFile()});
    if (!process->waitForStarted(connectTimeoutMs)) {
        error = QStringLiteral("cannot run %1: %2").arg(program, process->errorString());
        process.reset();
        return false;
    }
    if (waitUntilReady())
        return databaseLoaded();
    error += QStringLiteral(". mpd said: ") + QString::fromLocal8Bit(process->readAll()).trimmed() +
        QLatin1Char(' ') + logTail();
    stop();
    return false;
}

bool MpdFixture::waitWhileRunning(const std::function<bool()> &ready, int timeoutMs)
{
    const bool done = QTest::qWaitFor([&] { return !isRunning() || ready(); }, timeoutMs);
    if (!isRunning()) {
        error = QStringLiteral("mpd stopped while starting");
        return false;
    }
    return done;
}

bool MpdFixture::waitUntilReady()
{
    const bool accepting = waitWhileRunning(
        [this] {
            QTcpSocket probe;
            probe.connectToHost(host(), quint16(serverPort));
            return probe.waitForConnected(100);
        },
        connectTimeoutMs);
    if (!accepting) {
        if (isRunning())
            error = QStringLiteral("mpd does not accept connections on port %1 after %2 ms")
                        .arg(serverPort)
                        .arg(connectTimeoutMs);
        return false;
    }
    // A missing database makes mpd scan the music directory at start;
    // "updating_db" is in the status from the first connection until that ends.
    const bool scanned = waitWhileRunning(
        [this] {
            QStringList status;
            return exchange(serverPort, options.password, QStringLiteral("status"), status,
                            error) &&
                !isUpdating(status);
        },
        scanTimeoutMs);
    if (!scanned) {
        if (isRunning())
            error = QStringLiteral("mpd's initial scan did not end within %1 ms (%2)")
                        .arg(scanTimeoutMs)
                        .arg(error);
        return false;
    }
    error.clear();
    return true;
}

bool MpdFixture::databaseLoaded()
{
    // mpd throws away a database it cannot read (a tag list from another
    // version, say) and rescans instead: tests would then see an empty library.
    const QString output = QString::fromLocal8Bit(process->readAll());
    const qsizetype at = output.indexOf(QLatin1String("discarding database"));
    if (at < 0)
        return true;
    const qsizetype lineStart = output.lastIndexOf(QLatin1Char('\n'), at) + 1;
    error = QStringLiteral("mpd discarded its database: ") +
        output.mid(lineStart, output.indexOf(QLatin1Char('\n'), at) - lineStart);
    stop();
    return false;
}

void MpdFixture::stop()
{
    if (!isRunning()) {
        process.reset();
        return;
    }
    process->terminate();
    if (!process->waitForFinished(stopTimeoutMs)) {
        qCWarning(lcMpdFixture) << "mpd ignored SIGTERM; killing pid" << process->processId();
        process->kill();
        process->waitForFinished(stopTimeoutMs);
    }
    process.reset();
}

void MpdFixture::kill()
{
    if (isRunning()) {
        process->kill();
        process->waitForFinished(stopTimeoutMs);
    }
    process.reset();
}

QString MpdFixture::logTail() const
{
    QFile log(logFile());
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray all = log.readAll();
    return QStringLiteral("mpd log: ") + QString::fromUtf8(all.right(1500)).trimmed();
}

QStringList MpdFixture::command(const QString &line) const
{
    QStringList response;
    error.clear();
    if (!exchange(serverPort, options.password, line, response, error))
        response.clear();
    return response;
}

bool MpdFixture::send(const QString &line) const
{
    QStringList response;
    error.clear();
    return exchange(serverPort, options.password, line, response, error);
}

QString MpdFixture::statusValue(const QString &field) const
{
    const QString prefix = field + QStringLiteral(": ");
    const QStringList status = command(QStringLiteral("status"));
    for (const QString &line : status) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QString();
}

QStringList MpdFixture::queue() const
{
    QStringList files;
    for (const QString &line : command(QStringLiteral("playlistinfo"))) {
        if (line.startsWith(QLatin1String("file: ")))
            files << line.mid(6);
    }
    return files;
}

bool MpdFixture::add(const QStringList &uris) const
{
    QStringList lines{QStringLiteral("command_list_begin")};
    for (const QString &uri : uris)
        lines << QStringLiteral("add ") + quoted(uri);
    lines << QStringLiteral("command_list_end");
    return send(lines.join(QLatin1Char('\n')));
}

bool MpdFixture::updateDatabase(const QString &path)
{
    const QString request =
        path.isEmpty() ? QStringLiteral("update") : QStringLiteral("update ") + quoted(path);
    if (command(request).isEmpty())
        return false;
    // Jobs run in order, so once no job is left ours has ended too.
    const bool done = QTest::qWaitFor(
        [this] {
            const QStringList status = command(QStringLiteral("status"));
            return !status.isEmpty() && !isUpdating(status);
        },
        scanTimeoutMs);
    if (!done)
        error = QStringLiteral("update did not end within %1 ms").arg(scanTimeoutMs);
    return done;
}

QStringList MpdFixture::mpc(const QStringList &args) const
{
    QString hostArgument = host();
    if (!options.password.isEmpty())
        hostArgument = options.password + QLatin1Char('@') + hostArgument;
    QProcess client;
    client.start(QStringLiteral("mpc"),
                 QStringList{QStringLiteral("-h"), hostArgument, QStringLiteral("-p"),
                             QString::number(serverPort)} +
                     args);
    if (!client.waitForFinished(commandTimeoutMs)) {
        error = QStringLiteral("mpc %1: %2").arg(args.join(QLatin1Char(' ')), client.errorString());
        client.kill();
        client.waitForFinished(commandTimeoutMs);
        return {};
    }
    error = QString::fromUtf8(client.readAllStandardError()).trimmed();
    return QString::fromUtf8(client.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool MpdFixture::resetState()
{
    QStringList commands{QStringLiteral("command_list_begin"),
                         QStringLiteral("clear"),
                         QStringLiteral("stop"),
                         QStringLiteral("repeat 0"),
                         QStringLiteral("random 0"),
                         QStringLiteral("single 0"),
                         QStringLiteral("consume 0"),
                         QStringLiteral("crossfade 0"),
                         QStringLiteral("enableoutput 0"),
                         QStringLiteral("clearerror")};
    if (options.mixer)
        commands << QStringLiteral("setvol 100");
    const QStringList playlists = command(QStringLiteral("listplaylists"));
    for (const QString &line : playlists) {
        if (line.startsWith(QLatin1String("playlist: ")))
            commands << QStringLiteral("rm ") + quoted(line.mid(10));
    }
    commands << QStringLiteral("command_list_end");
    return send(commands.join(QLatin1Char('\n')));
}
