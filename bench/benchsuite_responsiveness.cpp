// BenchSuite's rows on whether the window ever waits on its server: a connection that talks
// from the GUI thread shows here as time in socket calls, late updates, frozen timer ticks, a
// slow quit and steady traffic on an idle link. Each probe that fails leaves a "failed" row and
// the others still run.
#include "benchsuite.h"

#include "mpdfixture.h"
#include "rawconnection.h"
#include "realisticlibrary.h"
#include "core/settingsstore.h"
#include "windowwatcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

#include <cstdio>

namespace {

constexpr int trafficSeconds = 10;
constexpr int externalChanges = 20;
constexpr int stallMs = 20000;
constexpr int quitAfterMs = 2000;
// Connecting and building the collection, before the stall.
constexpr int readyWithinMs = 120000;
constexpr int exitAfterStallMs = 30000;
// About 1 KB a song: the whole queue is past mpd's default 8 MiB output buffer.
constexpr int bigQueue = 16384;
constexpr int bigQueueWaitMs = 30000;
const QString failed = QStringLiteral("failed");

QString linkName(int roundTripMs)
{
    return roundTripMs == 0 ? QStringLiteral("loopback")
                            : QStringLiteral("%1 ms round trips").arg(roundTripMs);
}

// Names and counts, most frequent first: "status 86, currentsong 2".
QString commandCounts(const QMultiMap<QString, double> &results)
{
    QList<std::pair<int, QString>> counts;
    for (auto it = results.cbegin(); it != results.cend(); ++it) {
        if (it.key().startsWith(QLatin1String("command_")))
            counts.append({int(it.value()), it.key().mid(8)});
    }
    std::sort(counts.begin(), counts.end(), std::greater<>());
    QStringList texts;
    for (const auto &[count, name] : std::as_const(counts))
        texts << QStringLiteral("%1 %2").arg(name).arg(count);
    return texts.isEmpty() ? QStringLiteral("none") : texts.join(QStringLiteral(", "));
}

}  // namespace

bool BenchSuite::benchResponsiveness()
{
    startWithoutServer();
    QTemporaryDir work;
    MpdFixture::Options options;
    options.databaseFile = work.filePath(QStringLiteral("mpd.db"));
    MpdFixture server(options);
    if (!TestLibrary::writeDatabase(options.databaseFile, connectionQueue) || !server.start()
        || !fillPlaylist(server.port(), connectionQueue, connectionQueue)) {
        std::fprintf(stderr, "responsiveness: no server: %s\n", qPrintable(server.errorString()));
        return false;
    }
    bool ok = true;
    for (int roundTripMs : {0, 50})
        ok = benchTraffic(server.port(), roundTripMs) & ok;
    for (int roundTripMs : {0, 50})
        ok = benchExternalChange(server.port(), roundTripMs) & ok;
    ok = benchStall(server) & ok;
    ok = benchQuiet(server.port()) & ok;
    ok = benchBigQueue() & ok;
    printRows(QStringLiteral("responsiveness: queue of %1 generated songs (the last row: %2 "
                             "tagged ones), mpd 0.23 on 127.0.0.1")
                      .arg(connectionQueue)
                      .arg(bigQueue));
    return ok;
}

bool BenchSuite::benchTraffic(int port, int roundTripMs)
{
    const QString label = QStringLiteral("GUI in socket calls, %1 s, a song added every 2 s, %2")
                                  .arg(trafficSeconds)
                                  .arg(linkName(roundTripMs));
    Results r;
    if (!runProbe({"responsiveness", "traffic", QString::number(port), QString::number(roundTripMs),
                   QString::number(trafficSeconds)},
                  &r)) {
        note(label, failed);
        return false;
    }
    add(label, {r.value(QStringLiteral("gui_socket_ms"))}, QStringLiteral("ms"));
    add(QStringLiteral("  those socket calls"), {r.value(QStringLiteral("gui_socket_calls"))},
        QString());
    // The same sockets seen from the connection thread: the GUI thread's 0 is not the clock's
    // blindness. Its time includes its event loop's waits for the idle answer.
    add(QStringLiteral("  connection thread in socket calls (waits included)"),
        {r.value(QStringLiteral("connection_socket_ms"))}, QStringLiteral("ms"));
    add(QStringLiteral("  those socket calls"),
        {r.value(QStringLiteral("connection_socket_calls"))}, QString());
    if (r.value(QStringLiteral("elsewhere_socket_calls")) > 0)
        note(QStringLiteral("  other threads' socket calls"),
             QStringLiteral("%1 (%2 ms)")
                     .arg(r.value(QStringLiteral("elsewhere_socket_calls")))
                     .arg(r.value(QStringLiteral("elsewhere_socket_ms"))));
    const int changes = int(r.value(QStringLiteral("changes")));
    const int shown = int(r.value(QStringLiteral("changes_shown")));
    if (shown != changes)
        note(QStringLiteral("  songs added that the playlist showed"),
             QStringLiteral("%1 of %2").arg(shown).arg(changes));
    return true;
}

bool BenchSuite::benchExternalChange(int port, int roundTripMs)
{
    const QString label = QStringLiteral("another client's setvol to volume slider moved, %1")
                                  .arg(linkName(roundTripMs));
    Results r;
    if (!runProbe({"responsiveness", "external", QString::number(port),
                   QString::number(roundTripMs), QString::number(externalChanges)},
                  &r)) {
        note(label, failed);
        return false;
    }
    const QList<double> updates = r.values(QStringLiteral("update_ms"));
    if (updates.isEmpty())
        note(label, QStringLiteral("not shown"));
    else
        add(label, updates, QStringLiteral("ms"));
    if (updates.size() != externalChanges)
        note(QStringLiteral("  changes the slider showed within 5 s"),
             QStringLiteral("%1 of %2").arg(updates.size()).arg(externalChanges));
    return true;
}

bool BenchSuite::benchStall(const MpdFixture &server)
{
    const QString ticks = QStringLiteral("server stopped %1 s, Next clicked: longest gap between "
                                         "10 ms ticks")
                                  .arg(stallMs / 1000);
    const QString quit = QStringLiteral("server stopped, Quit %1 s in: to the process gone")
                                 .arg(quitAfterMs / 1000);
    Results r;
    qint64 exitNs = 0;
    const bool ticked = runStallProbe(server.pid(), server.port(), 0, &r, &exitNs)
            && r.contains(QStringLiteral("longest_tick_gap_ms"));
    if (ticked) {
        add(ticks, {r.value(QStringLiteral("longest_tick_gap_ms"))}, QStringLiteral("ms"));
        add(QStringLiteral("  that gap began, after the server stopped"),
            {r.value(QStringLiteral("longest_tick_gap_start_ms"))}, QStringLiteral("ms"));
    }
    else
        note(ticks, failed);
    r.clear();
    const bool quitted = runStallProbe(server.pid(), server.port(), quitAfterMs, &r, &exitNs);
    const double quitNs = r.value(QStringLiteral("ready_ns")) + quitAfterMs * 1e6;
    if (quitted)
        add(quit, {(exitNs - quitNs) / 1e6}, QStringLiteral("ms"));
    else
        note(quit, failed);
    return ticked && quitted;
}

bool BenchSuite::runStallProbe(qint64 serverPid, int port, int quitAfterMs, Results *results,
                               qint64 *exitNs)
{
    QProcess probe;
    probe.start(QCoreApplication::applicationFilePath(),
                {"probe", "responsiveness", "stall", QString::number(port),
                 QString::number(quitAfterMs), QString::number(stallMs)});
    QByteArray output;
    const QDeadlineTimer connected(readyWithinMs);
    // One flushed line, written at once: it never arrives in pieces.
    while (!output.contains("RESULT ready_ns") && !connected.hasExpired()
           && probe.waitForReadyRead(int(connected.remainingTime())))
        output += probe.readAllStandardOutput();
    bool gone = false;
    if (output.contains("RESULT ready_ns") && serverPid > 0) {
        // Nothing between the two signals can return early: the server always continues.
        ::kill(pid_t(serverPid), SIGSTOP);
        gone = probe.waitForFinished(stallMs);
        ::kill(pid_t(serverPid), SIGCONT);
        gone = gone || probe.waitForFinished(exitAfterStallMs);
        *exitNs = WindowWatcher::monotonicNs();
    }
    if (!gone || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        std::fprintf(stderr, "responsiveness: stall probe failed: %s\n",
                     probe.readAllStandardError().constData());
        probe.kill();
        probe.waitForFinished(5000);
        return false;
    }
    readResults(output + probe.readAllStandardOutput(), results);
    return true;
}

bool BenchSuite::benchQuiet(int port)
{
    const QString label
            = QStringLiteral("stopped and idle %1 s: commands the window sent").arg(quietSeconds);
    Results r;
    if (!runProbe({"responsiveness", "quiet", QString::number(port), QString::number(quietSeconds)},
                  &r)) {
        note(label, failed);
        return false;
    }
    add(label, {r.value(QStringLiteral("commands"))}, QString());
    note(QStringLiteral("  by name"), commandCounts(r));
    return true;
}

bool BenchSuite::benchBigQueue()
{
    const QString label
            = QStringLiteral("queue of %1 ~1 KB songs, default server: connect to all shown")
                      .arg(bigQueue);
    QTemporaryDir work;
    MpdFixture::Options defaults;
    defaults.databaseFile = work.filePath(QStringLiteral("tagged.db"));
    MpdFixture server(defaults);
    RawConnection filler;
    // "add /" queues the whole database, in its order.
    if (!RealisticLibrary::writeDatabase(defaults.databaseFile, bigQueue) || !server.start()
        || !filler.open(server.port()) || filler.discardAnswer("clear\n") < 0
        || filler.discardAnswer("add \"/\"\n") < 0) {
        note(label, QStringLiteral("failed: no server"));
        return false;
    }
    removeCache();
    Results r;
    if (!runProbe({"responsiveness", "bigqueue", QString::number(server.port()),
                   QString::number(bigQueue), QString::number(bigQueueWaitMs)},
                  &r)) {
        note(label, failed);
        return false;
    }
    if (r.contains(QStringLiteral("shown_ms")))
        add(label, {r.value(QStringLiteral("shown_ms"))}, QStringLiteral("ms"));
    else
        note(label,
             QStringLiteral("not shown (%1 rows after %2 s)")
                     .arg(r.value(QStringLiteral("not_shown")))
                     .arg(bigQueueWaitMs / 1000));
    return true;
}
