// The window's connection against a real server: the queue followed by increments while another
// client edits it, connecting without blocking the window, and reconnecting by itself.
#include "core/connectattempt.h"
#include "fakempd.h"
#include "core/mpdconnector.h"
#include "core/libmpdlink.h"
#include "core/qmpd.h"
#include "core/rawanswer.h"
#include "playlist/songmodel.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>

#include <libmpd/libmpd.h>

#include <random>

#include <csignal>

class TestConnection : public QObject
{
    Q_OBJECT

    WindowFixture f;
    QStringList library;

    QString title() const { return f.widget<QGroupBox>("nowplayingGroup")->title(); }
    bool controlsEnabled() const { return f.widget("controlFrame")->isEnabled(); }
    QTableView *view() const { return f.widget<QTableView>("playlistTableview"); }
    QStringList shownQueue() const { return f.rows("playlistTableview", 0, SongModel::FileRole); }
    int shownPlayingRow() const { return f.rows("playlistTableview", 0, SongModel::NowPlayingRole).indexOf("true"); }
    bool connectWindow(quint16 port) { return WindowTesting::connectWindow(f.window.get(), f.server.host(), port); }

    void stopServerAndSeeReconnecting()
    {
        QSignalSpy closed(WindowTesting::controller(f.window.get()), &ConnectionController::connectionClosed);
        // mpd saves its state on the way out, and restores queue and song when it starts again.
        f.server.stop();
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("Reconnecting to MPD..."), 5000);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!controlsEnabled());
        QCOMPARE(view()->model()->rowCount(), 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
        library = f.server.mpc({"listall"});
        QVERIFY(library.size() >= 8);
    }
    void init() { QVERIFY(f.open()); }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }

    // A listener that accepts and never answers, served from this thread: the window's event loop
    // has to keep turning for it to accept at all. Run first: the attempt threads it leaves end
    // long before the program does (LeakSanitizer's exit check cannot stop a thread as it ends).
    void silentServerHoldsUpNothing()
    {
        auto silent = std::make_unique<QTcpServer>();
        QVERIFY(silent->listen(QHostAddress::LocalHost));
        int accepted = 0;
        connect(silent.get(), &QTcpServer::newConnection, this, [&] {
            while (silent->nextPendingConnection())  // children of the server, held open
                ++accepted;
        });
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(10);
        f.window->connectMPD(f.server.host(), silent->serverPort(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(accepted, 1, 5000);
        const int ticksBefore = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= ticksBefore + 20, 5000);
        QVERIFY(!controlsEnabled() && f.widget<QAction>("actionDisconnect")->isEnabled());
        // Connecting elsewhere supersedes the attempt; its end is never shown.
        QVERIFY(connectWindow(f.server.port()));
        f.window->connectMPD(f.server.host(), silent->serverPort(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(accepted, 2, 5000);
        // Quitting leaves the attempts to their threads instead of waiting for them.
        f.window.reset();
        QVERIFY(!ConnectAttempt::waitForAll(0));
        silent.reset();
        QVERIFY(ConnectAttempt::waitForAll(15000));
    }

    void oddFirstContact_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("box");  // %1: the port
        const QString notMpd = "The server at 127.0.0.1:%1 did not answer as an MPD server";
        QTest::addRow("wrong greeting") << "wrong-greeting" << notMpd;
        QTest::addRow("hangs up before greeting") << "closes-at-once" << notMpd;
        // Within one 10 s deadline: libmpd used to wait that long twice after the greeting.
        QTest::addRow("silent after greeting") << "silent-after-greeting" << "MPD Error 10 'connection timeout'";
    }

    void oddFirstContact()
    {
        QFETCH(QString, scenario);
        FakeMpd fake(scenario);
        QVERIFY2(fake.start(), qPrintable(fake.errorString()));
        f.window->connectMPD("127.0.0.1", fake.port(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), 1, 15000);
        QFETCH(QString, box);
        QCOMPARE(f.closer->texts.takeFirst(), box.arg(fake.port()));
        QVERIFY(f.bannerShows("Could not connect to MPD, check your settings.") && !controlsEnabled());
        QCOMPARE(fake.connectionCount(), 1);
    }

    void queueFollowsRandomEdits()
    {
        MpdFixture &server = f.server;
        QVERIFY(server.add(library.mid(0, 6)) && server.send("play 2") && connectWindow(server.port()));
        QAbstractItemModel *model = view()->model();
        QAbstractItemModelTester tester(model);
        std::mt19937 random(20261206);
        const auto pick = [&random](int count) { return int(random() % unsigned(count)); };
        const QStringList edits{"add", "add", "add", "delete", "delete", "move", "move", "shuffle", "clear", "crop"};
        for (int step = 0; step < 80; ++step) {
            // Sometimes two edits between polls.
            for (int edit = 0; edit < 1 + pick(2); ++edit) {
                const int length = server.statusValue("playlistlength").toInt();
                const QString song = server.statusValue("song");
                const QString kind = edits.at(pick(edits.size()));
                if (kind == "add")
                    QVERIFY(server.add({library.at(pick(library.size()))}));
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
            // Pushed by the server: the window never polls.
            QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), server.queue(), 5000);
            const QString song = server.statusValue("song");
            QTRY_COMPARE_WITH_TIMEOUT(shownPlayingRow(), song.isEmpty() ? -1 : song.toInt(), 5000);
        }
        // Updated in place: the same model, and a selection that follows its song.
        QVERIFY(server.add(library.mid(0, 2)));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), server.queue(), 5000);
        const int selected = model->rowCount() - 1;
        view()->selectRow(selected);
        QVERIFY(server.send("delete 0"));
        QTRY_COMPARE_WITH_TIMEOUT(view()->selectionModel()->selectedRows().value(0).row(), selected - 1, 5000);
        QCOMPARE(view()->model(), model);
    }

    // Another client moves a song after the window listed what changed and before it fetched
    // the songs: what is shown must never mix the two queues.
    void queueChangedWhileRead()
    {
        MpdFixture &server = f.server;
        QVERIFY(server.add(library.mid(0, 5)));
        std::unique_ptr<MpdObj, void (*)(MpdObj *)> mpd(mpd_new(server.host().toLatin1().data(), server.port(), nullptr), mpd_free);
        QCOMPARE(mpd_connect(mpd.get()), MPD_OK);
        QStringList mirror;
        const auto apply = [&mirror](const QueueChange &change) {
            mirror = mirror.mid(0, change.first);
            for (const QmpdSong &song : change.tail)
                mirror << song.file;
        };
        bool moveFirst = false;
        const QueueSync::Fetch fetch = [&](const QByteArray &request) -> std::optional<SongList> {
            if (std::exchange(moveFirst, false))
                server.send("move 5 2");
            const int socket = LibmpdLink::socketOf(mpd.get());
            const std::optional<RawAnswer::Answer> answer = RawAnswer::send(socket, request) ? RawAnswer::read(socket, 5000) : std::nullopt;
            return answer ? std::optional(SongList::parse(answer->lines, QmpdSong::TrackDateDecoding::Locale)) : std::nullopt;
        };
        QueueSync sync;
        const auto update = [&] {
            mpd_status_update(mpd.get());
            if (const std::optional<QueueChange> change = sync.update(mpd.get(), fetch))
                apply(*change);
        };
        update();
        const QStringList before = server.queue();
        QVERIFY(server.add({library.at(5)}));
        const QStringList added = server.queue();
        moveFirst = true;
        update();
        const QStringList moved = server.queue();
        QVERIFY2(QList<QStringList>({before, added, moved}).contains(mirror), qPrintable(mirror.join(", ")));
        update();  // as the server's next report of the move brings it
        QCOMPARE(mirror, moved);
    }

    void restartedServerIsReconnected()
    {
        QVERIFY(f.server.add(library.mid(0, 4)) && f.server.send("play 1") && connectWindow(f.server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(shownPlayingRow(), 1, 3000);
        const QStringList queue = shownQueue();
        QSignalSpy ready(WindowTesting::controller(f.window.get()), &ConnectionController::connectionReady);
        stopServerAndSeeReconnecting();
        QVERIFY2(f.server.restart(), qPrintable(f.server.errorString()));
        QVERIFY(ready.wait(15000));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), queue, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(shownPlayingRow(), 1, 3000);
        QVERIFY(title() == "Now playing" && controlsEnabled());
        QVERIFY(!ready.wait(1500));
    }

    // A server that stops answering (suspended, its disk stalled): the window goes on, the
    // connection is given up after its deadline, and the server is reconnected once it answers.
    void stalledServerHoldsNothing()
    {
        QVERIFY(f.server.add(library.mid(0, 3)) && connectWindow(f.server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue().size(), 3, 5000);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(10);
        const pid_t pid = pid_t(f.server.pid());
        const auto resume = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
        QVERIFY(::kill(pid, SIGSTOP) == 0);
        // Commands during the stall wait in line behind the one the server does not answer.
        f.widget<QPushButton>("nextButton")->click();
        f.widget<QPushButton>("playlistDelAllButton")->click();
        QVERIFY(!QTest::qWaitFor([this] { return title() == "Reconnecting to MPD..."; }, 1000));
        QVERIFY2(ticks > 20, "the window's event loop was held");  // 100 ticks if never held
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("Reconnecting to MPD..."), Qmpd::AnswerDeadlineMs + 5000);
        QCOMPARE(f.closer->texts, QStringList());
        QVERIFY(::kill(pid, SIGCONT) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(controlsEnabled(), 15000);
        // Given up with the connection, not carried out behind the user's back later.
        QCOMPARE(f.server.queue(), library.mid(0, 3));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(0, 3), 5000);
        // Quitting while the server is stopped does not wait for it.
        QVERIFY(::kill(pid, SIGSTOP) == 0);
        f.widget<QPushButton>("nextButton")->click();
        f.window.reset();
    }

    // Tags no client library takes whole, and a NUL byte in one: every song shown (what is too long
    // cut), no box, and the window stays on its connection instead of reconnecting for ever.
    void oddTagsShowTheQueue()
    {
        FakeMpd fake("odd-tags");
        QVERIFY2(fake.start(), qPrintable(fake.errorString()));
        QVERIFY(connectWindow(quint16(fake.port())));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), QStringList({"Alpha/a1.flac", "Alpha/a2.flac", "Zeta/z1.flac"}), 5000);
        const QStringList titles = f.rows("playlistTableview", SongModel::Title);
        QVERIFY2(titles[0].endsWith(QString::fromUtf8("x…")) && titles[0].size() < 20000, qPrintable(titles[0].left(20)));
        QCOMPARE(titles.mid(1), QStringList({"A Two", "Z One"}));
        QTRY_VERIFY2_WITH_TIMEOUT(f.widget<QLabel>("lblArtistSong")->text().endsWith(QString::fromUtf8("x…")), qPrintable(f.widget<QLabel>("lblArtistSong")->text().left(40) + "/" + title()), 5000);
        QSignalSpy reconnected(WindowTesting::controller(f.window.get()), &ConnectionController::connectionReady);
        QVERIFY(!QTest::qWaitFor([&] { return !reconnected.isEmpty() || !controlsEnabled(); }, 2000));
        QCOMPARE(f.banners().count("Connected to MPD succesfully!"), 1);
    }

    void disconnectStopsRetries()
    {
        QVERIFY(connectWindow(f.server.port()));
        stopServerAndSeeReconnecting();
        f.widget<QAction>("actionDisconnect")->trigger();
        QCOMPARE(title(), QString("Disconnected"));
        QVERIFY(!f.window->findChild<MpdConnector *>()->isActive());
        QSignalSpy ready(WindowTesting::controller(f.window.get()), &ConnectionController::connectionReady);
        QVERIFY2(f.server.restart(), qPrintable(f.server.errorString()));
        QVERIFY(!ready.wait(2000));
    }
};

TUNELOOM_TEST_MAIN(TestConnection)
#include "tst_connection.moc"
