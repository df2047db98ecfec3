#include "probe.h"

#include "albumsprobe.h"
#include "collection/collectionbuilder.h"
#include "collection/collectionfilter.h"
#include "connectionprobe.h"
#include "ui/mainwindow.h"
#include "core/qmpd.h"
#include "responsivenessprobe.h"
#include "stickerprobe.h"
#include "windowwatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int watchdogMs = 180000;
constexpr int settleMs = 2000;
// A quick typist: about seven keys a second.
constexpr int typingIntervalMs = 150;

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

void afterMs(int ms, const std::function<void()> &step)
{
    QTimer::singleShot(ms, qApp, step);
}

// Sends one key to the focused widget and lets the window lay out and paint what it
// changed; returns the milliseconds that took.
double timedKey(Qt::Key key, QChar text)
{
    const qint64 start = WindowWatcher::monotonicNs();
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), key, text, {});
    // The views lay out on a zero timer, then post their paint requests.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return (WindowWatcher::monotonicNs() - start) / 1e6;
}

// Types `word` into the search field of a tab (Ctrl+F), one key per typing interval,
// then clears it with Esc; reports every key's time and the longest GUI gap while typing.
void typeIntoSearch(MainWindow &window, WindowWatcher &watcher, int tab, const QString &word,
                    const std::function<void(int)> &finish)
{
    window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(tab);
    QCoreApplication::processEvents();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    if (!qobject_cast<QLineEdit *>(QApplication::focusWidget())) {
        finish(1);
        return;
    }
    auto *typist = new QTimer(qApp);
    // The first tick only starts the count: by then the tab has been laid out and painted.
    QObject::connect(typist, &QTimer::timeout, qApp,
                     [&watcher, typist, word, finish, typed = -1]() mutable {
                         if (typed < 0) {
                             watcher.restartTickCounting();
                             typed = 0;
                         } else if (typed < word.size()) {
                             Probe::report("keystroke_ms", timedKey(Qt::Key_unknown, word.at(typed++)));
                         } else {
                             typist->stop();
                             Probe::report("typing_tick_gap_ms", watcher.longestTickGapMs());
                             Probe::report("clear_ms", timedKey(Qt::Key_Escape, QChar()));
                             finish(0);
                         }
                     });
    typist->start(typingIntervalMs);
}

}  // namespace

void Probe::report(const char *name, double value)
{
    std::printf("RESULT %s %.6f\n", name, value);
    std::fflush(stdout);
}

int Probe::loop()
{
    QTimer::singleShot(watchdogMs, qApp, [] {
        std::fprintf(stderr, "probe: no result within %d ms\n", watchdogMs);
        QCoreApplication::exit(3);
    });
    return QCoreApplication::exec();
}

double Probe::threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double Probe::currentRssKiB()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024.0);
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
    if (!args.isEmpty() && args.at(0) == QLatin1String("albums"))
        return AlbumsProbe::run(args.mid(1));
    if (!args.isEmpty() && args.at(0) == QLatin1String("responsiveness"))
        return ResponsivenessProbe::run(args.mid(1));
    if (!args.isEmpty() && (args.at(0) == QLatin1String("ratings") || args.at(0) == QLatin1String("rule")))
        return StickerProbe::run(args);
    std::fprintf(stderr, "probe: unknown arguments\n");
    return 2;
}

int Probe::builder(int port, bool fromServer, int expectedSongs)
{
    CollectionBuilder builder;
    builder.setServer(QStringLiteral("127.0.0.1"), port, QString());
    builder.setForceFromMPD(fromServer);
    const double rssBefore = Probe::currentRssKiB();
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
    // What the collection's search prepares once per build, in the GUI thread.
    QElapsedTimer fold;
    fold.start();
    CollectionFilter filter;
    filter.setIndex(builder.getArtists(), builder.getAlbums(NULL_ARTIST_OR_ALBUM_STRING),
                    builder.getSongs(QString(), NULL_ARTIST_OR_ALBUM_STRING));
    report("search_index_ms", fold.nsecsElapsed() / 1e6);
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
        if (scenario == QLatin1String("search")
                   || scenario == QLatin1String("queuesearch")) {
            // From every song down to one album's ten (synthetic names: "Album 00999").
            const bool queue = scenario == QLatin1String("queuesearch");
            afterMs(settleMs, [&, queue] {
                typeIntoSearch(window, watcher, queue ? 0 : 1, QStringLiteral("album 0999"),
                               finish);
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
    const int code = loop();
    return code != 0 ? code : status;
}
