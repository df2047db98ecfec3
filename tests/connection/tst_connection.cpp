// The window's connection against a real server: the queue followed by increments while another
// client edits it, connecting without blocking the window, and reconnecting by itself.
#include "connectattempt.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdconnector.h"
#include "mpdfixture.h"
#include "qmpd.h"
#include "silentlistener.h"
#include "songmodel.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QGroupBox>
#include <QSignalSpy>
#include <QTableView>

#include <memory>
#include <random>

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void queueFollowsRandomEdits();
    void restartedServerIsReconnected();
    void disconnectStopsRetries();
    void silentServerHoldsUpNothing();

private:
    QStringList shownQueue() const;
    int shownPlayingRow() const;
    QString title() const { return window->findChild<QGroupBox *>("nowplayingGroup")->title(); }
    bool controlsEnabled() const { return window->findChild<QWidget *>("controlFrame")->isEnabled(); }
    QTableView *view() const { return window->findChild<QTableView *>("playlistTableview"); }
    void stopServerAndSeeReconnecting();

    QTemporaryDir musicDir;
    MpdFixture server;
    QStringList library;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
};

void TestConnection::initTestCase()
{
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
    library = server.mpc({"listall"});
    QVERIFY(library.size() >= 8);
}

void TestConnection::init()
{
    if (!server.isRunning())
        QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QVERIFY(server.resetState());
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
}

void TestConnection::cleanup()
{
    window.reset();
    closer.reset();
}

QStringList TestConnection::shownQueue() const
{
    QStringList files;
    for (int row = 0; row < view()->model()->rowCount(); ++row)
        files << view()->model()->index(row, 0).data(SongModel::FileRole).toString();
    return files;
}

int TestConnection::shownPlayingRow() const
{
    const QAbstractItemModel *model = view()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(SongModel::NowPlayingRole).toBool())
            return row;
    }
    return -1;
}

void TestConnection::queueFollowsRandomEdits()
{
    QVERIFY(server.mpc(QStringList{"add"} + library.mid(0, 6)).isEmpty());
    QVERIFY(server.send("play 2"));
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port()));
    QAbstractItemModel *model = view()->model();
    QAbstractItemModelTester tester(model);
    std::mt19937 random(20261206);
    const auto pick = [&random](int count) { return int(random() % unsigned(count)); };
    const QStringList edits{"add", "add", "add", "delete", "delete", "move", "move", "shuffle",
                            "clear", "crop"};
    for (int step = 0; step < 80; ++step) {
        // Sometimes two edits between polls.
        for (int edit = 0; edit < 1 + pick(2); ++edit) {
            const int length = server.statusValue("playlistlength").toInt();
            const QString song = server.statusValue("song");
            const QString kind = edits.at(pick(edits.size()));
            if (kind == "add")
                QVERIFY(server.mpc({"add", library.at(pick(library.size()))}).isEmpty());
            else if (kind == "delete" && length > 0)
                QVERIFY(server.send(QString("delete %1").arg(pick(length))));
            else if (kind == "move" && length > 0)
                QVERIFY(server.send(QString("move %1 %2").arg(pick(length)).arg(pick(length))));
            else if (kind == "shuffle" || (kind == "clear" && pick(3) > 0))
                QVERIFY(server.send("shuffle"));
            else if (kind == "clear")
                QVERIFY(server.send("clear"));
            else if (kind == "crop" && !song.isEmpty())
                QVERIFY(server.send(QString("delete %1:").arg(song.toInt() + 1))
                        && (song == "0" || server.send(QString("delete 0:%1").arg(song))));
        }
        if (server.statusValue("state") != "play" && server.statusValue("playlistlength") != "0")
            QVERIFY(server.send("play 0"));
        // Poll now rather than wait for the timer.
        Qmpd::static_this->onTimerUpdate();
        QCOMPARE(shownQueue(), server.mpc({"-f", "%file%", "playlist"}));
        const QString song = server.statusValue("song");
        QCOMPARE(shownPlayingRow(), song.isEmpty() ? -1 : song.toInt());
    }
    // Updated in place: the same model, and a selection that follows its song.
    QVERIFY(server.mpc({"add", library.at(0), library.at(1)}).isEmpty());
    Qmpd::static_this->onTimerUpdate();
    const int selected = model->rowCount() - 1;
    view()->selectRow(selected);
    QVERIFY(server.send("delete 0"));
    Qmpd::static_this->onTimerUpdate();
    QCOMPARE(view()->selectionModel()->selectedRows().value(0).row(), selected - 1);
    QCOMPARE(view()->model(), model);
    QVERIFY(closer->texts.isEmpty());
}

void TestConnection::stopServerAndSeeReconnecting()
{
    QSignalSpy closed(window.get(), &MainWindow::connectionClosed);
    // mpd saves its state on the way out, and restores queue and song when it starts again.
    server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(title(), QString("Reconnecting to MPD..."), 5000);
    QCOMPARE(closed.size(), 1);
    QVERIFY(!controlsEnabled());
    QCOMPARE(view()->model()->rowCount(), 0);
}

void TestConnection::restartedServerIsReconnected()
{
    QVERIFY(server.mpc(QStringList{"add"} + library.mid(0, 4)).isEmpty());
    QVERIFY(server.send("play 1"));
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port()));
    QTRY_COMPARE_WITH_TIMEOUT(shownPlayingRow(), 1, 3000);
    const QStringList queue = shownQueue();
    QSignalSpy ready(window.get(), &MainWindow::connectionReady);
    stopServerAndSeeReconnecting();
    QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QVERIFY(ready.wait(15000));
    QCOMPARE(shownQueue(), queue);
    QTRY_COMPARE_WITH_TIMEOUT(shownPlayingRow(), 1, 3000);
    QCOMPARE(title(), QString("Now playing"));
    QVERIFY(controlsEnabled());
    QVERIFY(closer->texts.isEmpty());
    QVERIFY(!ready.wait(1500));
}

void TestConnection::disconnectStopsRetries()
{
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port()));
    stopServerAndSeeReconnecting();
    window->findChild<QAction *>("actionDisconnect")->trigger();
    QCOMPARE(title(), QString("Disconnected"));
    QVERIFY(!window->findChild<MpdConnector *>()->isActive());
    QSignalSpy ready(window.get(), &MainWindow::connectionReady);
    QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QVERIFY(!ready.wait(2000));
    QVERIFY(closer->texts.isEmpty());
}

void TestConnection::silentServerHoldsUpNothing()
{
    auto listener = std::make_unique<SilentListener>();
    const quint16 port = listener->listen();
    QVERIFY(port != 0);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    window->connectMPD(server.host(), port, QString());
    QTRY_COMPARE_WITH_TIMEOUT(listener->acceptedConnections(), 1, 5000);
    // The window turns its event loop while the server says nothing.
    const int ticksBefore = ticks;
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= ticksBefore + 20, 5000);
    QVERIFY(!controlsEnabled());
    QVERIFY(window->findChild<QAction *>("actionDisconnect")->isEnabled());

    // Connecting elsewhere supersedes the attempt; its end is never shown.
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port()));
    window->connectMPD(server.host(), port, QString());
    QTRY_COMPARE_WITH_TIMEOUT(listener->acceptedConnections(), 2, 5000);
    // Quitting leaves the attempts to their threads instead of waiting for them.
    window.reset();
    QVERIFY(!ConnectAttempt::waitForAll(0));
    listener.reset();
    QVERIFY(ConnectAttempt::waitForAll(15000));
    QVERIFY(closer->texts.isEmpty());
}

TUNELOOM_TEST_MAIN(TestConnection)
#include "tst_connection.moc"
