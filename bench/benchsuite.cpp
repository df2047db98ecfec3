#include "benchsuite.h"

#include "collection/collectioncache.h"
#include "mpdfixture.h"
#include "rawconnection.h"
#include "rawlisting.h"
#include "realisticlibrary.h"
#include "core/settingsstore.h"
#include "testmain.h"
#include "windowwatcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int probeTimeoutMs = 240000;
constexpr int bigOutputBufferKiB = 512 * 1024;
const QList<int> playlistSizes = {1000, 10000};

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

QString number(double value)
{
    if (value >= 100)
        return QString::number(value, 'f', 0);
    if (value >= 10)
        return QString::number(value, 'f', 1);
    if (value >= 1)
        return QString::number(value, 'f', 2);
    return QString::number(value, 'f', 3);
}

QList<double> ratios(const QList<double> &numerators, double denominator)
{
    QList<double> result;
    for (double value : numerators)
        result << value / denominator;
    return result;
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

}  // namespace

BenchSuite::BenchSuite()
{
    const QStringList sizeTexts
            = qEnvironmentVariable("TUNELOOM_BENCH_SIZES", QStringLiteral("10000,100000,300000"))
                      .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &text : sizeTexts)
        sizes << text.toInt();
    // "generated": the tests' library (TestLibrary); "realistic": RealisticLibrary.
    libraries = qEnvironmentVariable("TUNELOOM_BENCH_LIBRARIES",
                                     QStringLiteral("generated,realistic"))
                        .split(QLatin1Char(','), Qt::SkipEmptyParts);
    runs = envInt("TUNELOOM_BENCH_RUNS", runs);
    windowRuns = envInt("TUNELOOM_BENCH_WINDOW_RUNS", windowRuns);
    idleSeconds = envInt("TUNELOOM_BENCH_IDLE_SECONDS", idleSeconds);
    idleAtEverySize = envInt("TUNELOOM_BENCH_IDLE_EVERY_SIZE", 0) != 0;
    quietSeconds = envInt("TUNELOOM_BENCH_QUIET_SECONDS", quietSeconds);
    only = qEnvironmentVariable("TUNELOOM_BENCH_ONLY");
}

bool BenchSuite::run()
{
    home = TestSupport::isolateHome();
    TestSupport::keepNetworkLocal();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    say(QStringLiteral("Tuneloom benchmark: %1, %2 cores; median [min - max] of %3 runs "
                       "(%4 for window runs)")
                .arg(QSysInfo::prettyProductName())
                .arg(QThread::idealThreadCount())
                .arg(runs)
                .arg(windowRuns));
    if (only == QLatin1String("connection"))
        return benchConnectionOnly();
    if (only == QLatin1String("albums"))
        return benchAlbums();
    const QStringList measured = only.isEmpty() ? libraries : QStringList();
    for (const QString &library : measured) {
        for (int songs : std::as_const(sizes)) {
            if (!benchSize(library, songs))
                broken = true;
        }
    }
    if (!benchResponsiveness())
        broken = true;
    if (only.isEmpty() && !benchAlbums())
        broken = true;
    return !broken;
}

void BenchSuite::startWithoutServer()
{
    rows.clear();
    // The probes connect by themselves; a window must not reach for an earlier table's server.
    {
        SettingsStore settings;
        for (const char *key : {SettingsKey::AutoconnectHost, SettingsKey::AutoconnectPort,
                                SettingsKey::AutoconnectPassword})
            settings->remove(QLatin1String(key));
        // Nothing leaves the machine: no Last.fm covers, no lyrics service.
        settings->setValue(SettingsKey::LastfmApiKey, QString());
        settings->setValue(SettingsKey::LyricsUrl, QString());
    }
    removeCache();
}

bool BenchSuite::benchConnectionOnly()
{
    startWithoutServer();
    QTemporaryDir work;
    const QString database = work.filePath(QStringLiteral("mpd.db"));
    MpdFixture::Options options;
    options.databaseFile = database;
    MpdFixture server(options);
    if (!TestLibrary::writeDatabase(database, connectionQueue) || !server.start()) {
        say(QStringLiteral("connection: no server: %1").arg(server.errorString()));
        return false;
    }
    const bool ok = benchConnection(server.port(), database, connectionQueue);
    printRows(QStringLiteral("connection: generated library of %1 songs, mpd 0.23 on 127.0.0.1")
                      .arg(connectionQueue));
    return ok;
}

void BenchSuite::add(const QString &label, const QList<double> &values, const QString &unit)
{
    rows.append({label, values, unit});
}

void BenchSuite::note(const QString &label, const QString &text)
{
    rows.append({label, {}, text});
}

bool BenchSuite::runProbe(const QStringList &args, Results *results, qint64 *startNs)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 start = WindowWatcher::monotonicNs();
    // A wrapper for profiling, e.g. "perf record -g -o /tmp/probe.data".
    QStringList command = qEnvironmentVariable("TUNELOOM_BENCH_PROBE_WRAPPER")
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    command << QCoreApplication::applicationFilePath() << QStringLiteral("probe") << args;
    probe.start(command.takeFirst(), command);
    if (!probe.waitForFinished(probeTimeoutMs) || probe.exitStatus() != QProcess::NormalExit
        || probe.exitCode() != 0) {
        say(QStringLiteral("probe %1 failed: %2")
                    .arg(args.join(QLatin1Char(' ')),
                         QString::fromLocal8Bit(probe.readAllStandardError())));
        probe.kill();
        probe.waitForFinished(5000);
        return false;
    }
    if (startNs)
        *startNs = start;
    readResults(probe.readAllStandardOutput(), results);
    return true;
}

void BenchSuite::readResults(const QByteArray &output, Results *results)
{
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields.at(0) == "RESULT")
            results->insert(QString::fromLatin1(fields.at(1)), fields.at(2).toDouble());
    }
}

bool BenchSuite::runProbes(int count, const QStringList &args, const std::function<void()> &before,
                           const std::function<void(const Results &, qint64)> &collect)
{
    for (int i = 0; i < count; ++i) {
        if (before)
            before();
        Results results;
        qint64 start = 0;
        if (!runProbe(args, &results, &start))
            return false;
        collect(results, start);
    }
    return true;
}

void BenchSuite::writeAutoconnect(int port)
{
    SettingsStore settings;
    settings->setValue(SettingsKey::AutoconnectHost, QStringLiteral("127.0.0.1"));
    settings->setValue(SettingsKey::AutoconnectPort, port);
    settings->setValue(SettingsKey::AutoconnectPassword, QString());
}

void BenchSuite::removeCache()
{
    const CollectionCache cache(QStringLiteral("127.0.0.1"));
    for (auto file : {CollectionCache::Artists, CollectionCache::ArtistAlbums,
                      CollectionCache::Albums, CollectionCache::Songs})
        QFile::remove(cache.filePath(file));
}

bool BenchSuite::fillPlaylist(int port, int entries, int librarySongs)
{
    QByteArray commands = "clear\ncommand_list_begin\n";
    for (int i = 0; i < entries; ++i) {
        const int song = int(qint64(i) * librarySongs / entries);
        commands += "add " + RawConnection::quoted(TestLibrary::syntheticSongUri(song).toUtf8())
                + '\n';
    }
    commands += "command_list_end\n";
    RawConnection connection;
    // "clear" answers OK first; the list answers once.
    return connection.open(port) && connection.discardAnswer(commands) >= 0
            && connection.discardAnswer("ping\n") >= 0;
}

bool BenchSuite::benchSize(const QString &library, int songs)
{
    rows.clear();
    QTemporaryDir work;
    const QString database = work.filePath(QStringLiteral("mpd.db"));
    const bool realistic = library == QLatin1String("realistic");
    if (!(realistic ? RealisticLibrary::writeDatabase(database, songs)
                    : TestLibrary::writeDatabase(database, songs))) {
        say(QStringLiteral("cannot write the database of %1 songs").arg(songs));
        return false;
    }
    const double databaseMiB = QFileInfo(database).size() / 1048576.0;
    MpdFixture::Options defaults;
    defaults.databaseFile = database;
    MpdFixture::Options bigBuffer = defaults;
    bigBuffer.maxOutputBufferKiB = bigOutputBufferKiB;
    MpdFixture server(defaults);
    MpdFixture bigServer(bigBuffer);
    if (!server.start() || !bigServer.start()) {
        say(QStringLiteral("mpd did not start: %1 %2")
                    .arg(server.errorString(), bigServer.errorString()));
        return false;
    }
    const QString port = QString::number(server.port());
    const QString count = QString::number(songs);
    bool ok = true;

    QList<double> whole, requests;
    qint64 listingBytes = 0;
    for (int i = 0; i < runs; ++i) {
        whole << RawListing::wholeListing(bigServer.port(), &listingBytes);
        requests << RawListing::programRequests(server.port());
    }
    if (*std::min_element(whole.cbegin(), whole.cend()) < 0
        || *std::min_element(requests.cbegin(), requests.cend()) < 0) {
        say(QStringLiteral("the raw listing failed"));
        return false;
    }
    const double floorWhole = median(whole);
    const double floorRequests = median(requests);
    add(QStringLiteral("floor: one listallinfo, server with a 512 MiB output buffer"),
        ratios(whole, 1e-3), QStringLiteral("ms"));
    add(QStringLiteral("floor: the program's requests, default server"), ratios(requests, 1e-3),
        QStringLiteral("ms"));
    add(QStringLiteral("listing: bytes a song in one whole listallinfo"),
        {double(listingBytes) / qMax(1, songs)}, QStringLiteral("B"));

    QList<double> buildWall, buildCpu, buildBytes, loadWall, loadPeak, searchIndex;
    ok = ok
            && runProbes(runs, {QStringLiteral("builder"), port, QStringLiteral("server"), count},
                         {}, [&](const Results &r, qint64) {
                             buildWall << r.value(QStringLiteral("wall_ms"));
                             buildCpu << r.value(QStringLiteral("cpu_ms"));
                             buildBytes << r.value(QStringLiteral("bytes_per_song"));
                         });
    ok = ok
            && runProbes(runs, {QStringLiteral("builder"), port, QStringLiteral("cache"), count},
                         {}, [&](const Results &r, qint64) {
                             loadWall << r.value(QStringLiteral("wall_ms"));
                             searchIndex << r.value(QStringLiteral("search_index_ms"));
                         });
    if (ok) {
        add(QStringLiteral("build from the server (listing, index, cache): wall"), buildWall,
            QStringLiteral("ms"));
        add(QStringLiteral("build from the server: CPU"), buildCpu, QStringLiteral("ms"));
        add(QStringLiteral("build / floor (one listallinfo)"), ratios(buildWall, floorWhole * 1e3),
            QStringLiteral("x"));
        add(QStringLiteral("build / floor (the program's requests)"),
            ratios(buildWall, floorRequests * 1e3), QStringLiteral("x"));
        add(QStringLiteral("cache load: wall"), loadWall, QStringLiteral("ms"));
        add(QStringLiteral("cache load / build"), ratios(loadWall, median(buildWall)),
            QStringLiteral("x"));
        add(QStringLiteral("index memory: peak RSS growth per song (builder alone)"), buildBytes,
            QStringLiteral("B"));
        add(QStringLiteral("search: folding the index once per build"), searchIndex,
            QStringLiteral("ms"));
    }

    writeAutoconnect(server.port());
    QList<double> tickGaps, guiPeak, shown, built, builtAfterShown;
    ok = ok
            && runProbes(
                    windowRuns, {QStringLiteral("window"), QStringLiteral("build")},
                    [this] { removeCache(); },
                    [&](const Results &r, qint64) {
                        tickGaps << r.value(QStringLiteral("longest_tick_gap_ms"));
                        guiPeak << r.value(QStringLiteral("peak_rss_kib")) / 1024;
                    });
    // The last build left a fresh cache behind.
    ok = ok
            && runProbes(windowRuns, {QStringLiteral("window"), QStringLiteral("startup")}, {},
                         [&](const Results &r, qint64 start) {
                             const double shownNs = r.value(QStringLiteral("shown_ns"));
                             const double builtNs = r.value(QStringLiteral("built_ns"));
                             shown << (shownNs - start) / 1e6;
                             built << (builtNs - start) / 1e6;
                             builtAfterShown << (builtNs - shownNs) / 1e6;
                         });
    if (ok) {
        add(QStringLiteral("GUI: longest gap between 10 ms timer ticks during a build"), tickGaps,
            QStringLiteral("ms"));
        add(QStringLiteral("start-up: process start to window shown"), shown, QStringLiteral("ms"));
        add(QStringLiteral("start-up: to \"Collection built succesfully!\" (fresh cache)"), built,
            QStringLiteral("ms"));
        add(QStringLiteral("start-up: of which after the window showed"), builtAfterShown,
            QStringLiteral("ms"));
        add(QStringLiteral("memory: peak RSS of the window after a build from the server"), guiPeak,
            QStringLiteral("MiB"));
        QList<double> perSong;
        for (double mib : std::as_const(guiPeak))
            perSong << mib * 1048576.0 / songs;
        add(QStringLiteral("memory: that peak per song"), perSong, QStringLiteral("B"));
    }
    ok = ok && benchSearch();

    const bool measureIdle = idleAtEverySize || songs == sizes.last();
    // The playlist rows fill the queue with the generated library's paths.
    for (int entries : playlistSizes) {
        if (!ok || realistic)
            break;
        ok = fillPlaylist(server.port(), entries, songs);
        QList<double> idle;
        QList<double> queueKeys;
        ok = ok
                && runProbes(1, {QStringLiteral("window"), QStringLiteral("queuesearch")}, {},
                             [&](const Results &r, qint64) {
                                 queueKeys = r.values(QStringLiteral("keystroke_ms"));
                             });
        if (ok)
            add(QStringLiteral("playlist of %1: a key typed into its search field").arg(entries),
                queueKeys, QStringLiteral("ms"));
        if (!measureIdle)
            continue;
        ok = ok
                && runProbes(windowRuns,
                             {QStringLiteral("window"), QStringLiteral("idle%1").arg(idleSeconds)},
                             {}, [&](const Results &r, qint64) {
                                 idle << r.value(QStringLiteral("idle_cpu_ms_per_min"));
                             });
        if (ok) {
            add(QStringLiteral("playlist of %1: idle CPU per minute").arg(entries), idle,
                QStringLiteral("ms"));
            add(QStringLiteral("playlist of %1: idle CPU, share of one core").arg(entries),
                ratios(idle, 600.0), QStringLiteral("%"));
        }
    }
    // The connection rows once, at the first size whose library fills their queue; they add
    // songs by the generated library's names.
    const auto fits = std::find_if(sizes.cbegin(), sizes.cend(),
                                   [](int size) { return size >= connectionQueue; });
    if (ok && library == QLatin1String("generated") && fits != sizes.cend() && *fits == songs)
        ok = benchConnection(server.port(), database, songs);
    server.resetState();
    printTable(library, songs, databaseMiB);
    return ok;
}

bool BenchSuite::benchSearch()
{
    QList<double> keys, slowest, gaps, clears;
    const bool ok = runProbes(
            windowRuns, {QStringLiteral("window"), QStringLiteral("search")}, {},
            [&](const Results &r, qint64) {
                const QList<double> typed = r.values(QStringLiteral("keystroke_ms"));
                keys << typed;
                slowest << (typed.isEmpty() ? 0 : *std::max_element(typed.cbegin(), typed.cend()));
                gaps << r.value(QStringLiteral("typing_tick_gap_ms"));
                clears << r.value(QStringLiteral("clear_ms"));
            });
    if (!ok)
        return false;
    add(QStringLiteral("search: a key typed to the three lists updated (every key)"), keys,
        QStringLiteral("ms"));
    add(QStringLiteral("search: the slowest key of a ten-letter word"), slowest,
        QStringLiteral("ms"));
    add(QStringLiteral("search: longest GUI gap while typing it"), gaps, QStringLiteral("ms"));
    add(QStringLiteral("search: Esc back to the full lists"), clears, QStringLiteral("ms"));
    return true;
}

bool BenchSuite::benchConnection(int port, const QString &database, int songs)
{
    const QString queue = QString::number(connectionQueue);
    QList<double> cpu, bytes, wall, slowWall, gaps, quits, back;
    const auto change = [&](const char *roundTripMs, QList<double> *walls) {
        return runProbes(1, {"connection", "change", QString::number(port), roundTripMs}, {},
                         [&](const Results &r, qint64) {
                             cpu << r.values(QStringLiteral("change_cpu_ms"));
                             bytes << r.values(QStringLiteral("change_bytes"));
                             *walls = r.values(QStringLiteral("change_wall_ms"));
                         });
    };
    const bool ok = fillPlaylist(port, connectionQueue, songs) && change("0", &wall)
            && change("50", &slowWall)
            && runProbes(windowRuns, {"connection", "silent"}, {},
                         [&](const Results &r, qint64) {
                             gaps << r.value(QStringLiteral("longest_tick_gap_ms"));
                             quits << r.value(QStringLiteral("quit_ms"));
                         })
            && runProbes(windowRuns, {"connection", "restart", database, queue}, {},
                         [&](const Results &r, qint64) {
                             back << r.value(QStringLiteral("reconnect_ms"));
                         });
    if (!ok)
        return false;
    const QString perChange
            = QStringLiteral("queue of %1, one song added by another client: ").arg(queue);
    add(perChange + QStringLiteral("bytes on the link"), bytes, QStringLiteral("B"));
    add(perChange + QStringLiteral("GUI-thread CPU"), cpu, QStringLiteral("ms"));
    // The connection thread fetches it; the GUI thread only waits in its event loop.
    add(perChange + QStringLiteral("to shown, loopback"), wall, QStringLiteral("ms"));
    add(perChange + QStringLiteral("to shown, 50 ms round trips"), slowWall,
        QStringLiteral("ms"));
    add(QStringLiteral("connecting to a silent listener: longest gap between 10 ms ticks"), gaps,
        QStringLiteral("ms"));
    add(QStringLiteral("connecting to a silent listener: window closed in"), quits,
        QStringLiteral("ms"));
    add(QStringLiteral("server restarted: accepting again to queue of %1 shown").arg(queue), back,
        QStringLiteral("ms"));
    return true;
}

void BenchSuite::printTable(const QString &library, int songs, double databaseMiB)
{
    printRows(QStringLiteral("%1 library, %2 songs (database %3 MiB), mpd %4 on 127.0.0.1")
                      .arg(library)
                      .arg(songs)
                      .arg(databaseMiB, 0, 'f', 1)
                      .arg(QStringLiteral("0.23")));
}

void BenchSuite::printRows(const QString &title)
{
    say(QString());
    say(QStringLiteral("== %1 ==").arg(title));
    for (const Row &row : std::as_const(rows)) {
        if (row.values.isEmpty()) {
            say(QStringLiteral("%1 %2").arg(row.label, -68).arg(row.unit));
            continue;
        }
        const auto [low, high] = std::minmax_element(row.values.cbegin(), row.values.cend());
        say(QStringLiteral("%1 %2 %3  [%4 - %5]")
                    .arg(row.label, -68)
                    .arg(number(median(row.values)), 8)
                    .arg(row.unit, -3)
                    .arg(number(*low))
                    .arg(number(*high)));
    }
}
