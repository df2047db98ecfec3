#include "connectionprobe.h"

#include "loopbackproxy.h"
#include "ui/mainwindow.h"
#include "mpdfixture.h"
#include "probe.h"
#include "rawconnection.h"
#include "silentlistener.h"
#include "windowfixture.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <memory>

namespace {

constexpr int changes = 10;
constexpr int waitMs = 120000;
constexpr int silentMs = 3000;
constexpr int settleMs = 1000;

// Connected, collection built (its build talks to the server too), queue shown: the connection
// thread fetches the queue while the collection builds, and may still be at it.
bool connectAndSettle(MainWindow &window, int port)
{
    return WindowTesting::connectAndWaitForCollection(&window, QStringLiteral("127.0.0.1"), port)
            && WindowTesting::settle(&window);
}

int change(int port, int roundTripMs)
{
    LoopbackProxy link(quint16(port), roundTripMs);
    MainWindow window;
    RawConnection other;
    const quint16 linkPort = link.listen();
    if (linkPort == 0 || !connectAndSettle(window, linkPort) || !other.open(port))
        return 1;
    const QByteArray add = "add " + RawConnection::quoted(TestLibrary::syntheticSongUri(0).toUtf8())
            + '\n';
    for (int i = 0; i < changes; ++i) {
        const int before = ConnectionProbe::queueLength(window);
        if (other.discardAnswer(add) < 0)
            return 1;
        const qint64 bytes = link.bytes();
        const double cpu = Probe::threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        // The server tells the connection of the change; the window shows it when it arrives.
        if (!QTest::qWaitFor([&] { return ConnectionProbe::queueLength(window) == before + 1; }, waitMs))
            return 1;
        Probe::report("change_wall_ms", wall.nsecsElapsed() / 1e6);
        Probe::report("change_cpu_ms", Probe::threadCpuMs() - cpu);
        Probe::report("change_bytes", link.bytes() - bytes);
    }
    return 0;
}

int silent()
{
    SilentListener listener;
    const quint16 port = listener.listen();
    auto window = std::make_unique<MainWindow>();
    // The window's first layout and paint are not the connection's.
    QElapsedTimer settle;
    settle.start();
    if (!QTest::qWaitFor([&] { return settle.elapsed() >= settleMs; }, settleMs + 1000))
        return 1;
    window->connectMPD(QStringLiteral("127.0.0.1"), port, QString());
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    ticker.start(10);
    QElapsedTimer attempt;
    attempt.start();
    if (!QTest::qWaitFor([&] { return attempt.elapsed() >= silentMs; }, silentMs + 1000)
        || port == 0 || listener.acceptedConnections() != 1)
        return 1;
    Probe::report("longest_tick_gap_ms", double(longestGap));
    QElapsedTimer quit;
    quit.start();
    window.reset();
    Probe::report("quit_ms", quit.nsecsElapsed() / 1e6);
    return 0;
}

int restart(const QString &database, int queue)
{
    MpdFixture::Options options;
    options.databaseFile = database;
    MpdFixture server(options);
    if (!server.start())
        return 1;
    QByteArray adds = "command_list_begin\n";
    for (int i = 0; i < queue; ++i)
        adds += "add " + RawConnection::quoted(TestLibrary::syntheticSongUri(i).toUtf8()) + '\n';
    RawConnection filler;
    MainWindow window;
    if (!filler.open(server.port()) || filler.discardAnswer(adds + "command_list_end\n") < 0
        || !connectAndSettle(window, server.port())
        || ConnectionProbe::queueLength(window) != queue)
        return 1;
    // mpd saves its queue on the way out and restores it when it starts again.
    server.stop();
    const auto *status = window.findChild<QGroupBox *>(QStringLiteral("nowplayingGroup"));
    if (!QTest::qWaitFor([&] { return status->title() == QLatin1String("Reconnecting to MPD..."); },
                         waitMs)
        || !server.restart())
        return 1;
    // restart() returns once the server accepts connections.
    QElapsedTimer back;
    back.start();
    if (!QTest::qWaitFor([&] { return ConnectionProbe::queueLength(window) == queue; }, waitMs))
        return 1;
    Probe::report("reconnect_ms", back.nsecsElapsed() / 1e6);
    return 0;
}

}  // namespace

int ConnectionProbe::queueLength(const MainWindow &window)
{
    return window.findChild<QTableView *>(QStringLiteral("playlistTableview"))->model()->rowCount();
}

int ConnectionProbe::run(const QStringList &args)
{
    const QString mode = args.value(0);
    if (mode == QLatin1String("change"))
        return change(args.value(1).toInt(), args.value(2).toInt());
    if (mode == QLatin1String("silent"))
        return silent();
    if (mode == QLatin1String("restart"))
        return restart(args.value(1), args.value(2).toInt());
    return 2;
}
