#include "responsivenessprobe.h"

#include "connectionprobe.h"
#include "loopbackproxy.h"
#include "ui/mainwindow.h"
#include "mpdfixture.h"
#include "probe.h"
#include "rawconnection.h"
#include "socketclock.h"
#include "windowfixture.h"
#include "windowwatcher.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMap>
#include <QRandomGenerator>
#include <QTimer>

namespace {

const QString host = QStringLiteral("127.0.0.1");
constexpr int settleMs = 2000;
constexpr int changeIntervalMs = 2000;
constexpr int shownWithinMs = 5000;
constexpr int tickMs = 10;
// After ready, so the benchmark has stopped the server by then.
constexpr int clickAfterMs = 1000;

// Runs the event loop until `loop` is quit or `ms` pass (later only if something holds the
// thread); true when it was quit first.
bool runEvents(QEventLoop &loop, int ms)
{
    bool timedOut = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    limit.start(ms);
    loop.exec();
    return !timedOut;
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    runEvents(loop, ms);
}

void runEventsUntil(const QElapsedTimer &clock, qint64 ms)
{
    runEventsFor(int(qMax<qint64>(0, ms - clock.elapsed())));
}

// Connected, the collection built (its build talks to the server too), the connection's first
// jobs done (the queue shown), then settled.
bool connectAndSettle(MainWindow &window, quint16 port)
{
    if (!WindowTesting::connectAndWaitForCollection(&window, host, port)
        || !WindowTesting::settle(&window))
        return false;
    runEventsFor(settleMs);
    return true;
}

QByteArray addOneSong()
{
    return "add " + RawConnection::quoted(TestLibrary::syntheticSongUri(0).toUtf8()) + '\n';
}

int traffic(int port, int roundTripMs, int seconds)
{
    LoopbackProxy link(quint16(port), roundTripMs);
    ModalCloser closer;
    MainWindow window;
    RawConnection other;
    const quint16 linkPort = link.listen();
    if (linkPort == 0 || !connectAndSettle(window, linkPort) || !other.open(port))
        return 1;
    const int before = ConnectionProbe::queueLength(window);
    int changes = 0;
    QElapsedTimer clock;
    clock.start();
    // The window's sockets only: the other client and the relay's own way on talk to the
    // server's port.
    SocketClock::watch({linkPort});
    // Halfway into each interval, so the last change has time to show.
    for (; changes * changeIntervalMs < seconds * 1000; ++changes) {
        runEventsUntil(clock, changes * changeIntervalMs + changeIntervalMs / 2);
        if (other.discardAnswer(addOneSong()) < 0)
            return 1;
    }
    runEventsUntil(clock, seconds * 1000);
    SocketClock::setCounting(false);
    Probe::report("gui_socket_ms", SocketClock::totalMs());
    Probe::report("gui_socket_calls", double(SocketClock::calls()));
    // The same sockets from the window's other threads: its connection thread (named after
    // ServerConnection's QThread) and whatever else, which should be nothing.
    double connectionMs = 0, elsewhereMs = 0;
    qint64 connectionCalls = 0, elsewhereCalls = 0;
    for (const SocketClock::Totals &thread : SocketClock::otherThreads()) {
        const bool isConnection = thread.thread == "MPD connection";
        (isConnection ? connectionMs : elsewhereMs) += thread.ms;
        (isConnection ? connectionCalls : elsewhereCalls) += thread.calls;
    }
    Probe::report("connection_socket_ms", connectionMs);
    Probe::report("connection_socket_calls", double(connectionCalls));
    Probe::report("elsewhere_socket_calls", double(elsewhereCalls));
    Probe::report("elsewhere_socket_ms", elsewhereMs);
    Probe::report("changes", changes);
    Probe::report("changes_shown", ConnectionProbe::queueLength(window) - before);
    return 0;
}

int external(int port, int roundTripMs, int changes)
{
    LoopbackProxy link(quint16(port), roundTripMs);
    ModalCloser closer;
    MainWindow window;
    RawConnection other;
    const quint16 linkPort = link.listen();
    auto *slider = window.findChild<QAbstractSlider *>(QStringLiteral("volumeSlider"));
    if (linkPort == 0 || !slider || !connectAndSettle(window, linkPort) || !other.open(port))
        return 1;
    // A fixed seed: the same pauses every run, out of step with any timer of the window's.
    QRandomGenerator pauses(20);
    int missed = 0;
    for (int i = 0; i < changes; ++i) {
        runEventsFor(300 + int(pauses.bounded(700)));
        // Every value differs from the one before and from the server's 100 at the start.
        const int volume = 10 + 4 * i;
        QEventLoop shown;
        qint64 shownNs = 0;
        const auto watch
                = QObject::connect(slider, &QAbstractSlider::valueChanged, &shown, [&](int value) {
                      if (value != volume)
                          return;
                      shownNs = WindowWatcher::monotonicNs();
                      shown.quit();
                  });
        const qint64 changedNs = WindowWatcher::monotonicNs();
        if (other.discardAnswer("setvol " + QByteArray::number(volume) + '\n') < 0)
            return 1;
        // The window can only show it from the event loop, which runs from here on.
        if (runEvents(shown, shownWithinMs))
            Probe::report("update_ms", (shownNs - changedNs) / 1e6);
        else
            ++missed;
        QObject::disconnect(watch);
    }
    Probe::report("missed", missed);
    return 0;
}

int stall(int port, int quitAfterMs, int stallMs)
{
    ModalCloser closer;
    MainWindow window;
    auto *next = window.findChild<QAbstractButton *>(QStringLiteral("nextButton"));
    auto *quit = window.findChild<QAction *>(QStringLiteral("action_Quit"));
    if (!next || !quit || !connectAndSettle(window, quint16(port)))
        return 1;
    QElapsedTimer sinceTick, sinceReady;
    qint64 longestGap = 0;
    qint64 longestGapEndMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        if (gap > longestGap) {
            longestGap = gap;
            longestGapEndMs = sinceReady.elapsed();
        }
    });
    sinceTick.start();
    ticker.start(tickMs);
    Probe::report("ready_ns", double(WindowWatcher::monotonicNs()));
    sinceReady.start();
    // Precise: a coarse timer may fire up to 5 % early, before the Quit it stands for was due.
    QTimer::singleShot(clickAfterMs, Qt::PreciseTimer, next, &QAbstractButton::click);
    if (quitAfterMs > 0)
        QTimer::singleShot(quitAfterMs, Qt::PreciseTimer, quit, &QAction::trigger);
    else
        QTimer::singleShot(stallMs, Qt::PreciseTimer, qApp, [&] {
            Probe::report("longest_tick_gap_ms", double(longestGap));
            // When it happened tells what held the thread: the click, the loss after 5 s...
            Probe::report("longest_tick_gap_start_ms", double(longestGapEndMs - longestGap));
            QCoreApplication::exit(0);
        });
    return Probe::loop();
}

// Counts command lines by their first word ("noidle" too, which mpd's log leaves out).
QMap<QByteArray, int> commandNames(const QByteArray &lines)
{
    QMap<QByteArray, int> counts;
    for (const QByteArray &line : lines.split('\n')) {
        if (!line.isEmpty())
            ++counts[line.split(' ').constFirst()];
    }
    return counts;
}

int quiet(int port, int seconds)
{
    LoopbackProxy link(quint16(port), 0);
    ModalCloser closer;
    MainWindow window;
    const quint16 linkPort = link.listen();
    if (linkPort == 0 || !connectAndSettle(window, linkPort))
        return 1;
    const qsizetype before = link.clientBytes().size();
    runEventsFor(seconds * 1000);
    const QMap<QByteArray, int> counts = commandNames(link.clientBytes().mid(before));
    int total = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        Probe::report(("command_" + it.key()).constData(), it.value());
        total += it.value();
    }
    Probe::report("commands", total);
    return 0;
}

int bigQueue(int port, int queue, int waitMs)
{
    ModalCloser closer;
    MainWindow window;
    QEventLoop shown;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &shown, [&] {
        if (ConnectionProbe::queueLength(window) == queue)
            shown.quit();
    });
    check.start(tickMs);
    QElapsedTimer sinceConnect;
    sinceConnect.start();
    window.connectMPD(host, port, QString());
    if (runEvents(shown, waitMs))
        Probe::report("shown_ms", sinceConnect.nsecsElapsed() / 1e6);
    else
        Probe::report("not_shown", ConnectionProbe::queueLength(window));
    return 0;
}

}  // namespace

int ResponsivenessProbe::run(const QStringList &args)
{
    const QString mode = args.value(0);
    const int port = args.value(1).toInt();
    if (mode == QLatin1String("traffic"))
        return traffic(port, args.value(2).toInt(), args.value(3).toInt());
    if (mode == QLatin1String("external"))
        return external(port, args.value(2).toInt(), args.value(3).toInt());
    if (mode == QLatin1String("stall"))
        return stall(port, args.value(2).toInt(), args.value(3).toInt());
    if (mode == QLatin1String("quiet"))
        return quiet(port, args.value(2).toInt());
    if (mode == QLatin1String("bigqueue"))
        return bigQueue(port, args.value(2).toInt(), args.value(3).toInt());
    return 2;
}
