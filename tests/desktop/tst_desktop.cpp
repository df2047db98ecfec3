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

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>

static const QString Service = QStringLiteral("org.mpris.MediaPlayer2.tuneloom");
static const QString Player = QStringLiteral("org.mpris.MediaPlayer2.Player");
static const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
static const QString Granite = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Granite");

// Stands in for the desktop's notification server and for a panel widget listening to the player.
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
    void propertiesChanged(const QString &, const QVariantMap &changed, const QStringList &)
    {
        changes.append(changed);
    }
};

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void playerCommands_data();
    void playerCommands();
    void songChangeByAnotherClient();
    void disconnectTakesControlAway();
    void notifications_data();
    void notifications();
    void columnStateRoundTrips_data();
    void columnStateRoundTrips();

private:
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args);
    QVariant property(const QString &name);
    bool serverShows(const QString &expectations) const;

    QProcess bus;
    QTemporaryDir musicDir;
    MpdFixture server;
    BusPeer peer;
    std::unique_ptr<QDBusConnection> client;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
};

void TestDesktop::initTestCase()
{
    bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
    QVERIFY(bus.waitForReadyRead(5000));
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "peer"));
    QVERIFY(client->registerObject("/org/freedesktop/Notifications", &peer,
                                   QDBusConnection::ExportScriptableSlots));
    QVERIFY(client->registerService("org.freedesktop.Notifications"));
    QVERIFY(client->connect(Service, "/org/mpris/MediaPlayer2", Properties, "PropertiesChanged",
                            &peer, SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void TestDesktop::init()
{
    QVERIFY(server.resetState());
    QVERIFY(server.send("add \"" + Granite + "\""));
    QFile::remove(SettingsStore::directory() + "/config.conf");
    peer.notes.clear();
    peer.changes.clear();
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
}

void TestDesktop::cleanup()
{
    window.reset();
    closer.reset();
}

void TestDesktop::cleanupTestCase()
{
    client.reset();
    bus.kill();
    bus.waitForFinished(5000);
}

QDBusMessage TestDesktop::call(const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, "/org/mpris/MediaPlayer2", interface, method);
    message.setArguments(args);
    // Asynchronous: the service answers from this very thread's event loop.
    QDBusPendingCall pending = client->asyncCall(message);
    return QTest::qWaitFor([&] { return pending.isFinished(); }, 5000) ? pending.reply() : QDBusMessage();
}

QVariant TestDesktop::property(const QString &name)
{
    const QVariant value = call(Properties, "Get", {Player, name}).arguments().value(0).value<QDBusVariant>().variant();
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value;
}

// Space-separated field=value pairs of the server's status.
bool TestDesktop::serverShows(const QString &expectations) const
{
    const QStringList pairs = expectations.split(' ');
    return std::all_of(pairs.cbegin(), pairs.cend(), [this](const QString &pair) {
        return server.statusValue(pair.section('=', 0, 0)) == pair.section('=', 1);
    });
}

void TestDesktop::playerCommands_data()
{
    QTest::addColumn<QString>("before");  // mpc commands, ';'-separated
    QTest::addColumn<QString>("method");  // a Player method, or "set" and a property
    QTest::addColumn<QVariant>("argument");
    QTest::addColumn<QString>("expected");
    const QVariant none;
    QTest::addRow("Play from stopped") << "" << "Play" << none << "state=play song=0";
    QTest::addRow("Pause") << "play" << "Pause" << none << "state=pause";
    QTest::addRow("PlayPause") << "play;pause" << "PlayPause" << none << "state=play";
    QTest::addRow("Stop") << "play" << "Stop" << none << "state=stop";
    QTest::addRow("Next") << "play" << "Next" << none << "song=1";
    QTest::addRow("Previous") << "play 3" << "Previous" << none << "song=1";
    QTest::addRow("Seek") << "play;pause;seek 10" << "Seek" << QVariant(50000000LL) << "elapsed=60.000";
    QTest::addRow("SetPosition") << "play;pause" << "SetPosition" << QVariant(90000000LL) << "elapsed=90.000";
    QTest::addRow("LoopStatus Track") << "" << "set LoopStatus" << QVariant("Track") << "repeat=1 single=1";
    QTest::addRow("LoopStatus Playlist") << "single on" << "set LoopStatus" << QVariant("Playlist") << "repeat=1 single=0";
    QTest::addRow("LoopStatus None") << "repeat on;single on" << "set LoopStatus" << QVariant("None") << "repeat=0 single=0";
    QTest::addRow("Shuffle") << "" << "set Shuffle" << QVariant(true) << "random=1";
    QTest::addRow("Volume") << "" << "set Volume" << QVariant(0.4) << "volume=40";
}

void TestDesktop::playerCommands()
{
    QFETCH(QString, before);
    QFETCH(QString, method);
    QFETCH(QVariant, argument);
    QFETCH(QString, expected);
    for (const QString &command : before.split(';', Qt::SkipEmptyParts))
        server.mpc(command.split(' '));
    const QString state = server.statusValue("state");
    const QString shown = state == "play" ? "Playing" : state == "pause" ? "Paused" : "Stopped";
    QTRY_COMPARE(property("PlaybackStatus").toString(), shown);
    QVariantList args{argument};
    if (method == "SetPosition")
        args.prepend(QVariant::fromValue(QDBusObjectPath("/org/tuneloom/Track/" + server.statusValue("songid"))));
    const QDBusMessage reply = method.startsWith("set ")
            ? call(Properties, "Set", {Player, method.mid(4), QVariant::fromValue(QDBusVariant(argument))})
            : call(Player, method, argument.isValid() ? args : QVariantList());
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY2(serverShows(expected), qPrintable(server.command("status").join(", ")));
}

void TestDesktop::songChangeByAnotherClient()
{
    QFile cover(CoverFetcher::coverPath("The Stones Of Time", "Granite"));
    QVERIFY(QDir().mkpath(CoverFetcher::coverDirectory()) && cover.open(QIODevice::WriteOnly));
    cover.write("not empty");
    cover.close();
    server.mpc({"play"});
    QTRY_COMPARE(property("Metadata").toMap().value("xesam:title").toString(), QString("First Stone"));
    peer.changes.clear();
    server.mpc({"next"});
    QTRY_VERIFY(!peer.changes.isEmpty());
    const QVariantMap metadata = property("Metadata").toMap();
    QCOMPARE(metadata.value("xesam:title").toString(), QString("Second Stone"));
    QCOMPARE(metadata.value("xesam:artist").toStringList(), QStringList{"The Stones Of Time"});
    QCOMPARE(metadata.value("xesam:album").toString(), QString("Granite"));
    QCOMPARE(metadata.value("xesam:trackNumber").toInt(), 2);
    QCOMPARE(metadata.value("mpris:length").toLongLong(), 180000000LL);
    QCOMPARE(metadata.value("mpris:artUrl").toString(), QUrl::fromLocalFile(cover.fileName()).toString());
    QCOMPARE(property("PlaybackStatus").toString(), QString("Playing"));
    const QVariant announced = peer.changes.last().value("Metadata");
    QCOMPARE(qdbus_cast<QVariantMap>(announced.value<QDBusArgument>()).value("xesam:title").toString(),
             QString("Second Stone"));
    server.mpc({"pause"});
    QTRY_VERIFY(!peer.changes.isEmpty() && peer.changes.last().value("PlaybackStatus") == "Paused");
}

void TestDesktop::disconnectTakesControlAway()
{
    QCOMPARE(property("CanControl").toBool(), true);
    peer.changes.clear();
    window->onDisconnect();
    QTRY_VERIFY(!peer.changes.isEmpty() && peer.changes.last().contains("CanControl"));
    QCOMPARE(peer.changes.last().value("CanControl").toBool(), false);
    QCOMPARE(property("CanControl").toBool(), false);
    server.mpc({"play"});
    call(Player, "Stop", {});
    QCOMPARE(server.statusValue("state"), QString("play"));
}

void TestDesktop::notifications_data()
{
    QTest::addColumn<bool>("onAtStart");
    QTest::addColumn<QStringList>("expected");
    const QString band = "The Stones Of Time - ";
    QTest::addRow("on") << true << QStringList{band + "First Stone", band + "Second Stone", band + "Third Stone"};
    // Only the last change: had the first two been announced, they would have come first.
    QTest::addRow("off") << false << QStringList{band + "Third Stone"};
}

void TestDesktop::notifications()
{
    QFETCH(bool, onAtStart);
    QFETCH(QStringList, expected);
    auto *desktop = window->findChild<DesktopIntegration *>();
    desktop->setSongNotifications(onAtStart);
    server.mpc({"play"});
    QTRY_COMPARE(property("Metadata").toMap().value("xesam:title").toString(), QString("First Stone"));
    server.mpc({"next"});
    QTRY_COMPARE(property("Metadata").toMap().value("xesam:title").toString(), QString("Second Stone"));
    desktop->setSongNotifications(true);
    server.mpc({"next"});
    QTRY_COMPARE(peer.notes.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(peer.notes.at(i).second, expected.at(i));
        QCOMPARE(peer.notes.at(i).first, i == 0 ? 0u : uint(100 + i));
    }
}

void TestDesktop::columnStateRoundTrips_data()
{
    QTest::addColumn<QString>("viewName");
    QTest::addRow("playlist") << "playlistTableview";
    QTest::addRow("file list") << "fileList";
}

void TestDesktop::columnStateRoundTrips()
{
    QFETCH(QString, viewName);
    SongModel songs;
    QHeaderView *header = nullptr;
    const auto showView = [&] {
        auto *view = window->findChild<QTableView *>(viewName);
        window->findChild<QTabWidget *>()->setCurrentWidget(view->parentWidget());
        if (auto *proxy = qobject_cast<QSortFilterProxyModel *>(view->model()))
            proxy->setSourceModel(&songs);
        header = view->horizontalHeader();
    };
    showView();
    // First start: the text columns share the width, the short ones are narrow.
    QTRY_VERIFY(header->sectionSize(SongModel::Title) > header->sectionSize(SongModel::Track));
    QCOMPARE(header->sectionSize(SongModel::Artist), header->sectionSize(SongModel::Title));
    header->moveSection(header->visualIndex(SongModel::Album), 0);
    header->resizeSection(SongModel::Artist, 321);
    QTRY_VERIFY(SettingsStore()->contains(viewName == "fileList" ? SettingsKey::FileListColumns
                                                                 : SettingsKey::PlaylistColumns));
    window = std::make_unique<MainWindow>();
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    showView();
    QTRY_COMPARE(header->sectionSize(SongModel::Artist), 321);
    QCOMPARE(header->visualIndex(SongModel::Album), 0);
    window.reset();
}

TUNELOOM_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
