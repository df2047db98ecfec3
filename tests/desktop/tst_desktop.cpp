#include "coverfetcher.h"
#include "desktopintegration.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "settingsstore.h"
#include "songmodel.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QtDBus>
#include <QtWidgets>

static const QString Player = QStringLiteral("org.mpris.MediaPlayer2.Player");
static const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");

// On the private bus: the desktop's notification server, and a panel widget watching the player.
class BusPeer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QPair<uint, QString>> notes;  // replaces_id, summary
    QList<QVariantMap> changes;
public slots:
    Q_SCRIPTABLE uint Notify(const QString &, uint replacesId, const QString &,
                             const QString &summary, const QString &, const QStringList &,
                             const QVariantMap &, int)
    {
        notes.append({replacesId, summary});
        return 100 + notes.size();
    }
    void changed(const QString &, const QVariantMap &map, const QStringList &) { changes << map; }
};

class TestDesktop : public QObject
{
    Q_OBJECT

    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args)
    {
        auto message = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.tuneloom",
                                                      "/org/mpris/MediaPlayer2", interface, method);
        message.setArguments(args);
        // Asynchronous: the service answers from this very thread's event loop.
        QDBusPendingCall pending = client->asyncCall(message);
        return QTest::qWaitFor([&] { return pending.isFinished(); }, 5000) ? pending.reply()
                                                                           : QDBusMessage();
    }

    QVariant property(const QString &name)
    {
        const QVariant value = call(Properties, "Get", {Player, name}).arguments().value(0);
        const QVariant inner = value.value<QDBusVariant>().variant();
        return inner.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(inner) : inner;
    }

    QString title() { return property("Metadata").toMap().value("xesam:title").toString(); }

    QProcess bus;
    QTemporaryDir musicDir;
    MpdFixture server;
    BusPeer peer;
    std::unique_ptr<QDBusConnection> client;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;

private slots:

    void initTestCase()
    {
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForReadyRead(5000));
        const QByteArray address = bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "peer"));
        QVERIFY(client->registerObject("/org/freedesktop/Notifications", &peer,
                                       QDBusConnection::ExportScriptableSlots));
        QVERIFY(client->registerService("org.freedesktop.Notifications"));
        QVERIFY(client->connect("org.mpris.MediaPlayer2.tuneloom", "/org/mpris/MediaPlayer2",
                                Properties, "PropertiesChanged", &peer,
                                SLOT(changed(QString, QVariantMap, QStringList))));
        QVERIFY(TestLibrary::generate(musicDir.path()));
        QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
    }

    void init()
    {
        window.reset();  // one player on the bus at a time
        QVERIFY(server.resetState());
        QVERIFY(server.send("add \"Music/Rock/Classic/The Stones Of Time/Granite\""));
        QFile::remove(SettingsStore::directory() + "/config.conf");
        peer.notes.clear();
        closer = std::make_unique<ModalCloser>();
        window = std::make_unique<MainWindow>();
        QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(),
                                                           server.port()));
    }

    void cleanupTestCase()
    {
        window.reset();
        client.reset();
        bus.kill();
        bus.waitForFinished(5000);
    }

    void playerCommands_data()
    {
        QTest::addColumn<QString>("before");  // mpc commands, ';'-separated
        QTest::addColumn<QString>("method");  // a Player method, or "set" and a property
        QTest::addColumn<QVariant>("argument");
        QTest::addColumn<QString>("expected");  // field=value pairs of the server's status
        const std::tuple<const char *, const char *, QVariant, const char *> rows[] = {
                {"", "Play", {}, "state=play song=0"},
                {"play", "Pause", {}, "state=pause"},
                {"play;pause", "PlayPause", {}, "state=play"},
                {"play", "Stop", {}, "state=stop"},
                {"play", "Next", {}, "song=1"},
                {"play 3", "Previous", {}, "song=1"},
                {"play;pause;seek 10", "Seek", 50000000LL, "elapsed=60.000"},
                {"play;pause", "SetPosition", 90000000LL, "elapsed=90.000"},
                {"", "set LoopStatus", "Track", "repeat=1 single=1"},
                {"single on", "set LoopStatus", "Playlist", "repeat=1 single=0"},
                {"repeat on;single on", "set LoopStatus", "None", "repeat=0 single=0"},
                {"", "set Shuffle", true, "random=1"},
                {"", "set Volume", 0.4, "volume=40"},
        };
        for (const auto &[before, method, argument, expected] : rows)
            QTest::addRow("%s %s", method, qPrintable(argument.toString()))
                    << before << method << argument << expected;
    }

    void playerCommands()
    {
        QFETCH(QString, before);
        QFETCH(QString, method);
        QFETCH(QVariant, argument);
        QFETCH(QString, expected);
        for (const QString &command : before.split(';', Qt::SkipEmptyParts))
            server.mpc(command.split(' '));
        const QString state = server.statusValue("state");
        QTRY_COMPARE(property("PlaybackStatus").toString(),
                     state == "play"            ? "Playing"
                             : state == "pause" ? "Paused"
                                                : "Stopped");
        QVariantList args{argument};
        if (method == "SetPosition")
            args.prepend(QVariant::fromValue(
                    QDBusObjectPath("/org/tuneloom/Track/" + server.statusValue("songid"))));
        const QDBusMessage reply = method.startsWith("set ")
                ? call(Properties, "Set",
                       {Player, method.mid(4), QVariant::fromValue(QDBusVariant(argument))})
                : call(Player, method, argument.isValid() ? args : QVariantList());
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        for (const QString &pair : expected.split(' '))
            QTRY_COMPARE(server.statusValue(pair.section('=', 0, 0)), pair.section('=', 1));
    }

    void songChangeByAnotherClientThenDisconnect()
    {
        QFile cover(CoverFetcher::coverPath("The Stones Of Time", "Granite"));
        QVERIFY(QDir().mkpath(CoverFetcher::coverDirectory()) && cover.open(QIODevice::WriteOnly));
        QVERIFY(cover.write("a cover") > 0);
        cover.close();
        server.mpc({"play"});
        QTRY_COMPARE(title(), "First Stone");
        peer.changes.clear();
        server.mpc({"next"});
        QTRY_VERIFY(!peer.changes.isEmpty() && peer.changes.last().contains("Metadata"));
        const QVariantMap expected{
                {"xesam:title", "Second Stone"},
                {"xesam:artist", QStringList{"The Stones Of Time"}},
                {"xesam:album", "Granite"},
                {"xesam:trackNumber", 2},
                {"mpris:length", 180000000LL},
                {"mpris:artUrl", QUrl::fromLocalFile(cover.fileName()).toString()}};
        const QVariantMap metadata = property("Metadata").toMap();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(metadata.value(it.key()), it.value());
        QCOMPARE(property("PlaybackStatus").toString(), "Playing");
        server.mpc({"pause"});
        QTRY_COMPARE(peer.changes.last().value("PlaybackStatus").toString(), "Paused");

        window->onDisconnect();
        QTRY_COMPARE(peer.changes.last().value("CanControl"), QVariant(false));
        QCOMPARE(property("CanControl"), QVariant(false));
        QVERIFY(call(Player, "Play", {}).type() == QDBusMessage::ReplyMessage);
        QCOMPARE(server.statusValue("state"), "pause");
    }

    void notificationsReplaceEachOtherOnlyWhenOn()
    {
        server.mpc({"play"});
        QTRY_COMPARE(title(), "First Stone");
        server.mpc({"next"});
        QTRY_COMPARE(title(), "Second Stone");
        window->findChild<DesktopIntegration *>()->setSongNotifications(true);
        server.mpc({"next"});
        QTRY_COMPARE(title(), "Third Stone");
        server.mpc({"prev"});
        // Had the first two changes been announced, they would have come first.
        QTRY_COMPARE(peer.notes.size(), 2);
        QCOMPARE(peer.notes.at(0), qMakePair(0u, QString("The Stones Of Time - Third Stone")));
        QCOMPARE(peer.notes.at(1), qMakePair(101u, QString("The Stones Of Time - Second Stone")));
    }

    void columnStateRoundTrips()
    {
        SongModel songs;  // the file list has no columns before a folder is opened
        const auto headers = [&] {
            QList<QHeaderView *> list;
            for (const char *name : {"fileList", "playlistTableview"}) {
                auto *view = window->findChild<QTableView *>(name);
                window->findChild<QTabWidget *>()->setCurrentWidget(view->parentWidget());
                if (auto *proxy = qobject_cast<QSortFilterProxyModel *>(view->model()))
                    proxy->setSourceModel(&songs);
                list << view->horizontalHeader();
            }
            return list;
        };
        for (QHeaderView *header : headers()) {
            // Until the user arranges them, text columns share the width, the others are narrow.
            QTRY_VERIFY(header->sectionSize(SongModel::Title)
                        > header->sectionSize(SongModel::Track));
            QCOMPARE(header->sectionSize(SongModel::Artist), header->sectionSize(SongModel::Title));
            header->moveSection(header->visualIndex(SongModel::Album), 0);
            header->resizeSection(SongModel::Artist, 321);
        }
        QTRY_VERIFY(SettingsStore()->contains(SettingsKey::FileListColumns)
                    && SettingsStore()->contains(SettingsKey::PlaylistColumns));
        // The new window's playlist model is replaced when it connects: the layout stays.
        window.reset();
        window = std::make_unique<MainWindow>();
        QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(),
                                                           server.port()));
        for (QHeaderView *header : headers()) {
            QTRY_COMPARE(header->sectionSize(SongModel::Artist), 321);
            QCOMPARE(header->visualIndex(SongModel::Album), 0);
        }
        window.reset();
    }
};

TUNELOOM_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
