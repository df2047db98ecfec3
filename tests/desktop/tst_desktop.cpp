#include "covers/coverfetcher.h"
#include "desktop/desktopintegration.h"
#include "core/settingsstore.h"
#include "playlist/songmodel.h"
#include "testmain.h"
#include "windowfixture.h"

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
    QProcess bus;
    WindowFixture f;
    BusPeer peer;
    std::unique_ptr<QDBusConnection> client;

    // Asynchronously (the service answers from this thread): the answer's first argument unwrapped,
    // true when it has none, invalid on an error.
    QVariant call(const QString &interface, const QString &method, const QVariantList &args = {})
    {
        auto message = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.tuneloom",
                                                      "/org/mpris/MediaPlayer2", interface, method);
        message.setArguments(args);
        QDBusPendingCall pending = client->asyncCall(message);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 5000) || pending.isError())
            return {};
        QVariant value = pending.reply().arguments().value(0, true);
        if (value.userType() == qMetaTypeId<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value) : value;
    }
    QVariant property(const QString &name) { return call(Properties, "Get", {Player, name}); }
    void play(const char *command, const char *expectedTitle)  // as another client
    {
        f.server.mpc({command});
        QTRY_COMPARE(property("Metadata").toMap().value("xesam:title"), expectedTitle);
    }

private slots:
    void initTestCase()
    {
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForReadyRead(5000));
        const QByteArray address = bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "peer"));
        QVERIFY(client->registerObject("/org/freedesktop/Notifications", &peer,
                                       QDBusConnection::ExportScriptableSlots)
                && client->registerService("org.freedesktop.Notifications"));
        QVERIFY(client->connect("org.mpris.MediaPlayer2.tuneloom", "/org/mpris/MediaPlayer2",
                                Properties, "PropertiesChanged", &peer,
                                SLOT(changed(QString, QVariantMap, QStringList))));
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
    }
    void init()  // one player on the bus at a time: open() closes the last window first
    {
        QVERIFY(f.open() && WindowFixture::resetHome()
                && f.server.add({"Music/Rock/Classic/The Stones Of Time/Granite"}) && f.connect());
    }
    void cleanupTestCase() { f.close(), client.reset(), bus.kill(), bus.waitForFinished(5000); }

    // Rows are named by the method (or "Set" and a property), then its argument. before: mpc
    // commands; expected: field=value pairs of the server's status.
    void playerCommands_data()
    {
        for (const char *column : {"before", "expected"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<QVariant>("argument");
        QTest::newRow("Play") << "" << "state=play song=0" << QVariant();
        QTest::newRow("Pause") << "play" << "state=pause" << QVariant();
        QTest::newRow("PlayPause") << "play;pause" << "state=play" << QVariant();
        QTest::newRow("Stop") << "play" << "state=stop" << QVariant();
        QTest::newRow("Next") << "play" << "song=1" << QVariant();
        QTest::newRow("Previous") << "play 3" << "song=1" << QVariant();
        QTest::newRow("Seek 50") << "play;pause;seek 10" << "elapsed=60.000" << QVariant(50000000LL);
        QTest::newRow("SetPosition 90") << "play;pause" << "elapsed=90.000" << QVariant(90000000LL);
        QTest::newRow("Set LoopStatus Track") << "" << "repeat=1 single=1" << QVariant("Track");
        QTest::newRow("Set LoopStatus Playlist")
                << "single on" << "repeat=1 single=0" << QVariant("Playlist");
        QTest::newRow("Set LoopStatus None")
                << "repeat on;single on" << "repeat=0 single=0" << QVariant("None");
        QTest::newRow("Set Shuffle true") << "" << "random=1" << QVariant(true);
        QTest::newRow("Set Volume 0.4") << "" << "volume=40" << QVariant(0.4);
    }
    void playerCommands()
    {
        QFETCH(QString, before); QFETCH(QVariant, argument); QFETCH(QString, expected);
        const QString method = QString(QTest::currentDataTag()).section(' ', 0, -1 - argument.isValid());
        for (const QString &command : before.split(';', Qt::SkipEmptyParts))
            f.server.mpc(command.split(' '));
        const QMap<QString, QString> shown{{"play", "Playing"}, {"pause", "Paused"}};
        QTRY_COMPARE(property("PlaybackStatus"),
                     shown.value(f.server.statusValue("state"), "Stopped"));
        if (f.server.statusValue("state") == "pause")  // relative seeks start where the window saw the song
            QTRY_COMPARE(property("Position").toLongLong() / 1000000, qRound64(f.server.statusValue("elapsed").toDouble()));
        const bool set = method.startsWith("Set ");
        const QString track = "/org/tuneloom/Track/" + f.server.statusValue("songid");
        QVariantList args = argument.isValid() ? QVariantList{argument} : QVariantList();
        if (set)
            args = {Player, method.mid(4), QVariant::fromValue(QDBusVariant(argument))};
        if (method == "SetPosition")
            args.prepend(QVariant::fromValue(QDBusObjectPath(track)));
        QVERIFY(call(set ? Properties : Player, set ? "Set" : method, args).isValid());
        for (const QString &pair : expected.split(' '))
            QTRY_COMPARE(f.server.statusValue(pair.section('=', 0, 0)), pair.section('=', 1));
    }

    // Song changes by another client: announced on the bus, and as replacing notifications
    // once they are turned on. A disconnect takes control away.
    void songChangesThenDisconnect()
    {
        QFile cover(CoverFetcher::coverPath("The Stones Of Time", "Granite"));
        QVERIFY(QDir().mkpath(CoverFetcher::coverDirectory()) && cover.open(QIODevice::WriteOnly)
                && cover.write("a cover") > 0);
        cover.close();
        SettingsStore()->setValue(SettingsKey::LyricsMusicFolder, f.musicDir());
        play("play", "First Stone");
        // The words are announced when they are found, after the song.
        QTRY_VERIFY(std::any_of(peer.changes.cbegin(), peer.changes.cend(), [](const QVariantMap &change) {
            return change.contains("Metadata") && qdbus_cast<QVariantMap>(change.value("Metadata"))
                    .value("xesam:asText").toString().startsWith("A river carved");
        }));
        peer.changes.clear();
        play("next", "Second Stone");
        QVERIFY(!peer.changes.isEmpty() && peer.changes.last().contains("Metadata"));
        const QVariantMap expected{{"xesam:title", "Second Stone"}, {"xesam:album", "Granite"},
                                   {"xesam:artist", QStringList{"The Stones Of Time"}},
                                   {"xesam:trackNumber", 2}, {"mpris:length", 180000000LL},
                                   {"mpris:artUrl", QUrl::fromLocalFile(cover.fileName()).toString()}};
        const QVariantMap metadata = property("Metadata").toMap();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(metadata.value(it.key()), it.value());
        QVERIFY(!metadata.contains("xesam:asText"));  // the first song's lyrics are not this one's

        f.window->findChild<DesktopIntegration *>()->setSongNotifications(true);
        play("next", "Third Stone");
        play("prev", "Second Stone");
        QTRY_COMPARE(peer.notes.size(), 2);
        QCOMPARE(peer.notes.at(0), qMakePair(0u, QString("The Stones Of Time - Third Stone")));
        QCOMPARE(peer.notes.at(1), qMakePair(101u, QString("The Stones Of Time - Second Stone")));

        f.server.mpc({"pause"});
        QTRY_COMPARE(peer.changes.last().value("PlaybackStatus"), "Paused");
        WindowTesting::controller(f.window.get())->onDisconnect();
        QTRY_COMPARE(peer.changes.last().value("CanControl"), false);
        QCOMPARE(property("CanControl"), false);
        QVERIFY(call(Player, "Play").isValid());  // answered, but nothing sent
        QCOMPARE(f.server.statusValue("state"), "pause");
    }

    void columnStateRoundTrips()
    {
        SongModel songs;  // the file list has no columns before a folder is opened
        const auto headers = [&] {
            QList<QHeaderView *> list;
            for (const char *name : {"fileList", "playlistTableview"}) {
                auto *view = f.widget<QTableView>(name);
                f.widget<QTabWidget>("tabWidget")->setCurrentWidget(view->parentWidget());
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
        // A new window (its playlist model replaced when it connects) keeps the layout.
        f.window.reset();
        f.window = std::make_unique<MainWindow>();
        QVERIFY(f.connect());
        for (QHeaderView *header : headers()) {
            QTRY_COMPARE(header->sectionSize(SongModel::Artist), 321);
            QCOMPARE(header->visualIndex(SongModel::Album), 0);
        }
    }
};

TUNELOOM_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
