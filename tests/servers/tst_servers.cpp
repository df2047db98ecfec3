// Finding a server without being told, keeping several and switching between them, and the
// partitions of a real mpd 0.23.
#include "collection/collectioncache.h"
#include "fakeavahi.h"
#include "servers/avahibrowser.h"
#include "servers/localservers.h"
#include "servers/partitionmenu.h"
#include "servers/serverlist.h"
#include "playlist/songmodel.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QInputDialog>
#include <QMenu>
#include <QSpinBox>

class TestServers : public QObject
{
    Q_OBJECT

    QTemporaryDir runtimeDir;  // the user's XDG_RUNTIME_DIR, where mpd/socket is looked for
    WindowFixture f;
    QStringList library;

    QString socketPath() const { return runtimeDir.path() + "/mpd/socket"; }
    static QString abstractName() { return "@tuneloom-test-" + QString::number(QCoreApplication::applicationPid()); }
    static QString settingsPath() { return SettingsStore::directory() + "/config.conf"; }
    QStringList shownQueue() const { return f.rows("playlistTableview", 0, SongModel::FileRole); }
    QMenu *menu(const char *name) const { return f.window->findChild<QMenu *>(name); }
    static QAction *action(QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    // Opens the partition menu as a user would (it asks the server for the partitions).
    QAction *partitionAction(const QString &text) const
    {
        QMenu *partitions = menu("menuPartition");
        emit partitions->aboutToShow();
        return QTest::qWaitFor([&] { return action(partitions, text); }, 5000) ? action(partitions, text) : nullptr;
    }
    QStringList serverPartitions() const { return f.server.command("listpartitions"); }
    QString windowPartition() const { return WindowTesting::connection(f.window.get())->status().partition; }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(runtimeDir.path() + "/mpd"));
        f.server.listenOnSockets({socketPath(), abstractName()});
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
        library = f.server.mpc({"listall"});
    }
    void init()
    {
        qputenv("XDG_RUNTIME_DIR", QDir::tempPath().toLocal8Bit() + "/nothing-here");
        QVERIFY(WindowFixture::resetHome());
    }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }

    void localServers_data()
    {
        QTest::addColumn<QString>("MPD_HOST");
        QTest::addColumn<QString>("MPD_PORT");
        QTest::addColumn<QString>("XDG_RUNTIME_DIR");
        QTest::addColumn<QStringList>("tried");  // in order
        QTest::addColumn<QString>("password");   // of the first
        const QStringList usual{"/run/mpd/socket", "localhost:6600"};
        QTest::addRow("nothing set") << "" << "" << "" << usual << "";
        QTest::addRow("user's socket") << "" << "" << "/run/user/7" << QStringList{"/run/user/7/mpd/socket"} + usual << "";
        QTest::addRow("host and port") << "music.lan" << "6601" << "" << QStringList{"music.lan:6601"} + usual << "";
        QTest::addRow("not a port") << "music.lan" << "66a" << "" << QStringList{"music.lan:6600"} + usual << "";
        QTest::addRow("password@host") << "se@cret@music.lan" << "" << "" << QStringList{"cret@music.lan:6600"} + usual << "se";
        QTest::addRow("socket path") << "/tmp/my mpd" << "7000" << "" << QStringList{"/tmp/my mpd"} + usual << "";
        QTest::addRow("abstract") << "@mpd" << "" << "" << QStringList{"@mpd"} + usual << "";
        QTest::addRow("password, abstract") << "pw@@mpd" << "" << "" << QStringList{"@mpd"} + usual << "pw";
    }

    void localServers()
    {
        QProcessEnvironment environment;
        // The columns are named after the variables.
        for (const char *name : {"MPD_HOST", "MPD_PORT", "XDG_RUNTIME_DIR"}) {
            const QString value = *static_cast<QString *>(QTest::qData(name, qMetaTypeId<QString>()));
            if (!value.isEmpty())
                environment.insert(name, value);
        }
        const QList<ServerAddress> candidates = LocalServers::candidates(environment);
        QStringList tried;
        for (const ServerAddress &server : candidates)
            tried << server.text();
        QTEST(tried, "tried");
        QTEST(candidates.first().password, "password");
    }

    // Servers announced on the network, through a stand-in for the Avahi daemon on a private bus.
    void browsesZeroconf()
    {
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY2(daemon.waitForReadyRead(5000), "dbus-daemon did not start");
        const QString address = QString::fromLatin1(daemon.readLine().trimmed());
        const auto stop = qScopeGuard([&daemon] { daemon.kill(); daemon.waitForFinished(5000); });
        const QDBusConnection avahiSide = QDBusConnection::connectToBus(address, "avahi");
        const QDBusConnection clientSide = QDBusConnection::connectToBus(address, "client");
        const FakeService living{"Living room", "_mpd._tcp", "192.168.1.20", 6600};
        FakeAvahi avahi(avahiSide, {living, {"Kitchen", "_mpd._tcp", "192.168.1.21", 6601}, {"Printer", "_http._tcp", "192.168.1.9", 80}});
        QVERIFY(avahi.registerOn());
        AvahiBrowser browser(clientSide);
        const auto found = [&browser] {
            QStringList texts;
            for (const FoundServer &server : browser.servers())
                texts << QString("%1 %2:%3").arg(server.name, server.host).arg(server.port);
            return texts;
        };
        browser.start();
        // Each once, though announced on two protocols; no other kind of service.
        QTRY_COMPARE_WITH_TIMEOUT(found(), QStringList({"Living room 192.168.1.20:6600", "Kitchen 192.168.1.21:6601"}), 5000);
        avahi.announce("ItemRemove", living);
        QTRY_COMPARE_WITH_TIMEOUT(found(), QStringList{"Kitchen 192.168.1.21:6601"}, 5000);
        QDBusConnection::disconnectFromBus("avahi");
        QDBusConnection::disconnectFromBus("client");
    }

    void cacheFileNames_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("asItIs");
        QTest::addRow("address") << "192.168.1.20" << true;
        QTest::addRow("name") << "music-box.local" << true;
        QTest::addRow("socket path") << "/run/user/1000/mpd/socket" << false;
        QTest::addRow("path with dots") << "/../../etc/x" << false;
        QTest::addRow("abstract") << "@mpd" << false;
    }

    void cacheFileNames()
    {
        QFETCH(QString, host);
        const QString stem = CollectionCache::fileStem(host);
        QTEST(stem == host, "asItIs");
        QVERIFY(!stem.contains('/') && stem.size() < 110 && stem != CollectionCache::fileStem(host + 'x'));
    }

    // With no server chosen, the window looks for one and keeps the first that answers.
    void findsSocketServer_data()
    {
        QTest::addColumn<QString>("mpdHost");  // empty: through XDG_RUNTIME_DIR
        QTest::addColumn<QString>("socket");
        QTest::addRow("MPD_HOST, path") << socketPath() << socketPath();
        QTest::addRow("MPD_HOST, abstract") << abstractName() << abstractName();
        QTest::addRow("XDG_RUNTIME_DIR") << QString() << socketPath();
    }

    void findsSocketServer()
    {
        QFETCH(QString, mpdHost);
        QFETCH(QString, socket);
        const auto restore = qScopeGuard([] { qunsetenv("MPD_HOST"); });
        if (!mpdHost.isEmpty())
            qputenv("MPD_HOST", mpdHost.toLocal8Bit());
        else
            qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        QVERIFY(f.open());
        QVERIFY(f.server.add(library.mid(0, 2)));
        QTRY_VERIFY_WITH_TIMEOUT(f.widget("controlFrame")->isEnabled(), 15000);
        QVERIFY(f.bannerShows("Connected to MPD succesfully!"));
        QCOMPARE(WindowTesting::connection(f.window.get())->host(), socket);
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(0, 2), 5000);
        // The collection, read over a connection of its own, and cached under a safe name.
        QTRY_VERIFY_WITH_TIMEOUT(f.widget("tabCollection")->isEnabled(), 60000);
        QVERIFY(f.rows("artistList").size() > 1);
        QVERIFY(QFile::exists(SettingsStore::directory() + "/." + CollectionCache::fileStem(socket) + ".artists"));
        // Not kept: the next start looks again.
        QVERIFY(ServerList::load().servers().isEmpty());
    }

    // A socket path typed in the Connect dialog that nothing listens on: a clear box, no change.
    void unreachableSocket()
    {
        QVERIFY(f.open([](QDialog *dialog) {
            dialog->findChild<QLineEdit *>("lineHost")->setText("/nowhere/mpd.socket");
            dialog->accept();
        }));
        QVERIFY(WindowFixture::resetHome());
        WindowTesting::controller(f.window.get())->onConnectOther();
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), 2, 15000);
        QCOMPARE(f.closer->texts.takeLast(), "There is no MPD socket at /nowhere/mpd.socket");
        QCOMPARE(f.closer->texts.takeFirst(), "Connect");
        QVERIFY(ServerList::load().servers().isEmpty());
    }

    void serverListRoundTrip()
    {
        QVERIFY(writeFile(settingsPath(), "[autoconnect]\nhost=music.lan\nport=6601\npassword=pw\n"));
        ServerList list = ServerList::load();
        QCOMPARE(list.servers().size(), 1);
        QCOMPARE(list.autoconnectServer().value().address.text(), "music.lan:6601");
        list.remember({"Kitchen", {"/run/mpd/socket", 0, "x"}, true, {}});
        list.setPartition({"/run/mpd/socket", 0, {}}, "radio");
        list.save();
        const ServerList read = ServerList::load();
        QCOMPARE(read.servers().size(), 2);
        QCOMPARE(read.servers().at(0).address.password, "pw");
        QVERIFY(!read.servers().at(0).autoconnect);  // one server connects at start
        QCOMPARE(read.autoconnectServer().value().caption(), "Kitchen");
        QCOMPARE(read.partitionOf({"/run/mpd/socket", 0, {}}), "radio");
        QVERIFY(!readFile(settingsPath()).contains("[autoconnect]"));
    }

    // A server named in the Connect dialog is kept; File ▸ Servers lists the kept servers, the
    // connected one checked, and one click switches.
    void switchServers()
    {
        MpdFixture second;
        QVERIFY2(second.start(f.musicDir()), qPrintable(second.errorString()));
        QVERIFY(second.add(library.mid(3, 2)));
        ServerList list;
        list.remember({"First", {f.server.host(), f.server.port(), {}}, true, {}});
        list.save();
        QVERIFY(f.open([&second](QDialog *dialog) {
            dialog->findChild<QLineEdit *>("lineName")->setText("Second");
            dialog->findChild<QLineEdit *>("lineHost")->setText(second.host());
            dialog->findChild<QSpinBox *>("spinPort")->setValue(second.port());
            dialog->accept();
        }));
        QVERIFY(f.server.add(library.mid(0, 1)));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(0, 1), 15000);
        WindowTesting::controller(f.window.get())->onConnectOther();
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(3, 2), 15000);
        QCOMPARE(f.closer->texts.takeFirst(), "Connect");
        QMenu *servers = menu("menuServers");
        emit servers->aboutToShow();
        QVERIFY(action(servers, "Second")->isChecked() && !action(servers, "First")->isChecked());
        action(servers, "First")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(0, 1), 15000);
        emit servers->aboutToShow();
        QVERIFY(action(servers, "First")->isChecked() && !action(servers, "Second")->isChecked());
        QCOMPARE(ServerList::load().autoconnectServer().value().caption(), "First");
        QTRY_VERIFY_WITH_TIMEOUT(f.widget("tabCollection")->isEnabled(), 60000);
    }

    void partitionNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("box");
        QTest::addRow("space") << "living room" << "A partition's name is made of letters, digits, '-' and '_' only.";
        QTest::addRow("empty") << "" << "A partition's name is made of letters, digits, '-' and '_' only.";
        QTest::addRow("exists") << "default" << "There is a partition \"default\" already.";
    }

    void partitionNames()
    {
        QFETCH(QString, name);
        QVERIFY(f.open([name](QDialog *dialog) {
            dialog->findChild<QLineEdit *>()->setText(name);
            dialog->accept();
        }));
        QVERIFY(f.connect());
        partitionAction("New partition...")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), 2, 5000);
        QTEST(f.closer->texts.takeLast(), "box");
        f.closer->texts.clear();
        QVERIFY(f.settle());
        QCOMPARE(serverPartitions(), QStringList{"partition: default"});
    }

    // Create, switch (its own queue), move an output in and back, remembered, delete.
    void partitions()
    {
        QVERIFY(f.open([](QDialog *dialog) {
            dialog->findChild<QLineEdit *>()->setText("kitchen");
            dialog->accept();
        }));
        QVERIFY(f.connect() && f.server.add(library.mid(0, 1)));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(0, 1), 5000);
        QVERIFY(menu("menuPartition")->menuAction()->isVisible());
        partitionAction("New partition...")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(serverPartitions(), QStringList({"partition: default", "partition: kitchen"}), 5000);
        f.closer->texts.clear();
        partitionAction("kitchen")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(windowPartition(), "kitchen", 5000);
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), QStringList(), 5000);
        WindowTesting::connection(f.window.get())->send(&Qmpd::addPaths, library.mid(2, 2));
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(2, 2), 5000);
        QCOMPARE(f.server.queue(), library.mid(0, 1));  // default's queue
        QMenu *moveMenu = partitionAction("Move output here")->menu();
        action(moveMenu, "Null B")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(f.server.command("outputs").contains("plugin: dummy"), 5000);
        QCOMPARE(ServerList::load().partitionOf({f.server.host(), f.server.port(), {}}), "kitchen");

        // The next connection goes back to it.
        WindowTesting::controller(f.window.get())->onDisconnect();
        QVERIFY(f.connect());
        QTRY_COMPARE_WITH_TIMEOUT(windowPartition(), "kitchen", 5000);
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(2, 2), 5000);

        // Neither "default" nor the partition in use can be deleted; one with outputs is refused.
        QTRY_VERIFY_WITH_TIMEOUT(partitionAction("Delete")->menu()->actions().isEmpty(), 5000);
        partitionAction("default")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(shownQueue(), library.mid(0, 1), 5000);
        action(partitionAction("Move output here")->menu(), "Null B")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!f.server.command("outputs").contains("plugin: dummy"), 5000);
        QMenu *deleteMenu = partitionAction("Delete")->menu();
        QTRY_COMPARE_WITH_TIMEOUT(deleteMenu->actions().size(), 1, 5000);
        action(deleteMenu, "kitchen")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(serverPartitions(), QStringList{"partition: default"}, 5000);
    }
};

TUNELOOM_TEST_MAIN(TestServers)
#include "tst_servers.moc"
