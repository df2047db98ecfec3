#include "probe.h"

#include "collectionbuilder.h"
#include "connectionprobe.h"
#include "mainwindow.h"
#include "qmpd.h"
#include "windowwatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int watchdogMs = 180000;
constexpr int settleMs = 2000;

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss);
}

double currentRssKiB()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024.0);
}

// Runs the event loop until `done` is called or the watchdog gives up.
int runLoop()
{
    QTimer::singleShot(watchdogMs, qApp, [] {
        std::fprintf(stderr, "probe: no result within %d ms\n", watchdogMs);
        QCoreApplication::exit(3);
    });
    return QCoreApplication::exec();
}

void afterMs(int ms, const std::function<void()> &step)
{
    QTimer::singleShot(ms, qApp, step);
}

}  // namespace

void Probe::report(const char *name, double value)
{
    std::printf("RESULT %s %.6f\n", name, value);
    std::fflush(stdout);
}

int Probe::run(const QStringList &args)
{
    if (args.size() == 4 && args.at(0) == QLatin1String("builder"))
        return builder(args.at(1).toInt(), args.at(2) == QLatin1String("server"),
                       args.at(3).toInt());
    if (args.size() == 2 && args.at(0) == QLatin1String("window"))
        return window(args.at(1));
    if (!args.isEmpty() && args.at(0) == QLatin1String("connection"))
        return ConnectionProbe::run(args.mid(1));
    std::fprintf(stderr, "probe: unknown arguments\n");
    return 2;
}

int Probe::builder(int port, bool fromServer, int expectedSongs)
{
    CollectionBuilder builder;
    builder.setServer(QStringLiteral("127.0.0.1"), port, QString());
    builder.setForceFromMPD(fromServer);
    const double rssBefore = currentRssKiB();
    const double cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    builder.start();
    builder.wait();
    const double wallMs = wall.nsecsElapsed() / 1e6;
    const double cpu = cpuMs() - cpuBefore;
    const qsizetype songs
            = builder.getSongs(NULL_ARTIST_OR_ALBUM_STRING, NULL_ARTIST_OR_ALBUM_STRING).size();
    if (builder.lastBuildFailed() || songs != expectedSongs) {
        std::fprintf(stderr, "probe: build failed or incomplete (%lld songs)\n", qlonglong(songs));
        return 1;
    }
    report("wall_ms", wallMs);
    report("cpu_ms", cpu);
    report("rss_before_kib", rssBefore);
    report("peak_rss_kib", peakRssKiB());
    report("bytes_per_song", (peakRssKiB() - rssBefore) * 1024.0 / songs);
    return 0;
}

int Probe::window(const QString &scenario)
{
    WindowWatcher watcher;
    MainWindow window;  // connects at once, from the autoconnect settings
    int status = 0;
    const auto finish = [&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    };
    QObject::connect(&watcher, &WindowWatcher::collectionBuilt, qApp, [&] {
        watcher.stopTickCounting();
        report("shown_ns", watcher.shownNs());
        report("built_ns", watcher.builtNs());
        report("longest_tick_gap_ms", watcher.longestTickGapMs());
        report("peak_rss_kib", peakRssKiB());
        if (scenario == QLatin1String("build")) {
            // The poll that follows the end of the build closes the last gap.
            const int pollsAtEnd = watcher.pollCount();
            QObject::connect(&watcher, &WindowWatcher::polled, qApp, [&, pollsAtEnd] {
                if (watcher.pollCount() < pollsAtEnd + 2)
                    return;
                watcher.stopPollCounting();
                report("longest_poll_gap_ms", watcher.longestPollGapMs());
                report("polls", watcher.pollCount());
                finish(0);
            });
        } else if (scenario.startsWith(QLatin1String("idle"))) {
            const int seconds = scenario.mid(4).toInt();
            afterMs(settleMs, [&, seconds] {
                const double cpuBefore = cpuMs();
                afterMs(seconds * 1000, [&, cpuBefore, seconds] {
                    report("idle_cpu_ms_per_min", (cpuMs() - cpuBefore) * 60.0 / seconds);
                    finish(0);
                });
            });
        } else {
            finish(0);
        }
    });
    const int code = runLoop();
    return code != 0 ? code : status;
}
