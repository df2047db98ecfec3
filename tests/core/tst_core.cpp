// The window's connection to the server: controls, settings, connecting and its failures, a dying server.
#include "collection/collectioncache.h"
#include "playlist/playlistitemdelegate.h"
#include "core/qmpd.h"
#include "core/settingsstore.h"
#include "servers/serverlist.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTcpServer>

#include <dlfcn.h>

static QString settingsPath() { return SettingsStore::directory() + "/config.conf"; }

static bool writeSettings(const QByteArray &ini)
{
    QFile file(settingsPath());
    return SettingsStore::ensureDirectory() && file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size();
}

// Established client connections to a loopback port, from any process (IPv4): remote port, state 01.
static int clientsConnectedTo(int port)
{
    return int(QString(readFile("/proc/net/tcp")).count(QString(":%1 01 ").arg(port, 4, 16, QChar('0')).toUpper()));
}

class TestCore : public QObject
{
    Q_OBJECT

    WindowFixture f;
    QStringList expectedBoxes;

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init() { QVERIFY(WindowFixture::resetHome()); }
    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    // Names both MPD libraries export: the program's calls by these names mean libmpd's, and so
    // must every call the dynamic linker resolves (libmpdclient's users cannot name them at all).
    void sharedNamesMeanLibmpd_data()
    {
        QTest::addColumn<QByteArray>("name");
        for (const char *name : {"mpd_send_password", "mpd_status_get_volume", "mpd_status_get_crossfade", "mpd_stats_get_uptime"})
            QTest::addRow("%s", name) << QByteArray(name);
    }
    void sharedNamesMeanLibmpd()
    {
        QFETCH(QByteArray, name);
        Dl_info library{};
        void *bound = dlsym(RTLD_DEFAULT, name.constData());
        QVERIFY(bound && dladdr(bound, &library));
        QVERIFY2(QByteArray(library.dli_fname).contains("/libmpd.so"), library.dli_fname);
    }

    void controls_data()
    {
        // Steps: widget:signal-or-slot[:int argument].
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        const QString play = "playpauseButton:click", press = "songProgressSlider:sliderPressed";
        const QString move = "songProgressSlider:sliderMoved:", release = "songProgressSlider:sliderReleased";
            for (int presses = 1; presses <= 3; ++presses)
            QTest::addRow("play pressed %d times", presses) << QStringList(presses, play) << "state" << QString(presses == 2 ? "pause" : "play");
        QTest::addRow("stop") << QStringList{play, "stopButton:click"} << "state" << "stop";
        QTest::addRow("next") << QStringList{play, "nextButton:click"} << "song" << "1";
        QTest::addRow("previous") << QStringList{play, "nextButton:click", "nextButton:click", "prevButton:click"} << "song" << "1";
        QTest::addRow("mute") << QStringList{"volumeButton:click"} << "volume" << "0";
        QTest::addRow("unmute restores") << QStringList(2, "volumeButton:click") << "volume" << "60";
        for (const char *volume : {"0", "42", "100", "101", "-1"}) // out of range: ignored
            QTest::addRow("volume %s", volume) << QStringList{QString("volumeSlider:sliderMoved:") + volume} << "volume"
                                               << (QByteArrayList{"101", "-1"}.contains(volume) ? "60" : volume);
        QTest::addRow("seek pauses while dragging") << QStringList{play, press} << "state" << "pause";
        QTest::addRow("seek goes where dragged") << QStringList{play, press, move + "40", move + "61"} << "elapsed" << "61.000";
        QTest::addRow("release resumes") << QStringList{play, press, move + "61", release} << "state" << "play";
        QTest::addRow("release resumes a user's pause") << QStringList{play, play, release} << "state" << "play";
    }

    void controls()
    {
        QFETCH(QStringList, steps);
        QVERIFY(f.open() && f.server.add({"Root Song.flac", "Misc", "Music/Pop"}) && f.server.send("setvol 60") && f.connect());
        QTRY_COMPARE_WITH_TIMEOUT(f.widget<QSlider>("volumeSlider")->value(), 60, 5000);
        for (const QString &step : steps) {
            const QStringList parts = step.split(':');
            QWidget *target = f.widget(qPrintable(parts[0]));
            QVERIFY(parts.size() == 2 ? QMetaObject::invokeMethod(target, qPrintable(parts[1]))
                                      : QMetaObject::invokeMethod(target, qPrintable(parts[1]), Q_ARG(int, parts[2].toInt())));
        }
        QFETCH(QString, field);
        QVERIFY(f.settle());
        QTEST(f.server.statusValue(field), "value");
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("ini"); // PORT stands for the server's port
        QTest::addColumn<bool>("connects");
        QTest::addRow("autoconnect") << QByteArray("[autoconnect]\nhost=127.0.0.1\nport=PORT\n") << true;
        QTest::addRow("first start") << QByteArray() << false;
        for (const char *port : {"-1", "0", "70000", "99999999999", "sixty-six hundred", "@Point(1 2)"})
            QTest::addRow("port %s", port) << "[autoconnect]\nhost=127.0.0.1\nport=" + QByteArray(port) + '\n' << false;
        QTest::addRow("every key of a wrong type") << QByteArray(
                "[autoconnect]\nhost=@Point(1 2)\nport=@Size(1 2)\npassword=@Size(1 2)\n[general]\nnp_color=#zzzzzz\n"
                "delete_albumart=perhaps\n[lastfm]\nenable=2\nuser=@Rect(1 2 3 4)\nhash=not-a-digest\n"
                "[app]\nposition=@Size(5 5)\nsize=@Point(-3 -3)\nmaximized=yes-ish\nhidden=-1\n") << false;
        QTest::addRow("broken colour variant") << QByteArray("[general]\nnp_color=\"@Variant(\\0\\0\\0\\x43\\x1\\xff)\"\n") << false;
        for (const char *size : {"@Size(-800 -550)", "@Size(1 1)", "800x550"})
            QTest::addRow("size %s", size) << "[app]\nsize=" + QByteArray(size) + '\n' << false;
        for (const char *position : {"@Point(-100000 -100000)", "@Point(100000 100000)", "10,10"})
            QTest::addRow("position %s", position) << "[app]\nposition=" + QByteArray(position) + '\n' << false;
        QTest::addRow("1 MiB user name") << "[lastfm]\nenable=true\nuser=" + QByteArray(1 << 20, 'u') + '\n' << false;
        QByteArray noise(4096, 0);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::addRow("random bytes") << noise << false;
    }

    // Whatever the file says, the window opens visible where the user can reach it, at least its
    // minimum size, with the default colour, and connects only to a real port.
    void settingsFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, connects);
        QVERIFY(ini.isEmpty() || writeSettings(ini.replace("PORT", QByteArray::number(f.server.port()))));
        QVERIFY(f.open());
        QVERIFY(f.window->isVisible() && !f.window->isMaximized() && f.window->width() >= 800 && f.window->height() >= 550);
        QVERIFY(f.window->screen()->availableGeometry().intersects(f.window->frameGeometry()));
        QCOMPARE(f.window->findChild<PlaylistItemDelegate *>()->getNpColor(), PlaylistItemDelegate().getNpColor());
        // Only to a real port; without one the window looks for a server where one usually is,
        // and quietly finds none here (Disconnect is on while it looks).
        if (connects)
            QTRY_VERIFY_WITH_TIMEOUT(f.widget("controlFrame")->isEnabled(), 15000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(!f.widget<QAction>("actionDisconnect")->isEnabled() && !f.widget("controlFrame")->isEnabled(), 15000);
        QCOMPARE(f.banners().mid(0, 1), connects ? QStringList{"Connected to MPD succesfully!"} : QStringList());
        QVERIFY(!connects || f.settle());
        QVERIFY(!connects || f.widget<QSlider>("volumeSlider")->value() == 100);
        f.window.reset();
        // The file holds a password: only its owner may read it.
        for (const QString &path : {settingsPath(), SettingsStore::directory()})
            QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void connectFails_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("box");
        QTest::addRow("nothing listens") << "closed" << "MPD Error ";
        QTest::addRow("silent listener") << "silent" << "MPD Error ";
        QTest::addRow("wrong password") << "password" << "incorrect password";
    }

    void connectFails()
    {
        QFETCH(QString, target);
        QVERIFY(writeSettings("[lastfm]\nuser=someone\n"));
        const QByteArray settingsBefore = readFile(settingsPath());
        MpdFixture guarded({"right", {}, 0, {}, true, {}});
        QVERIFY2(target != "password" || guarded.start(f.musicDir()), qPrintable(guarded.errorString()));
        QTcpServer silent; // the kernel completes connections that nobody serves: a wedged mpd
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        int port = target == "password" ? guarded.port() : silent.serverPort();
        if (target != "silent")
            silent.close(); // nothing listens there now
        QString password = "wrong";
        // Through the Connect dialog, asking for autoconnect: stored only once a connection succeeds.
        QVERIFY(f.open([&](QDialog *dialog) {
            dialog->findChild<QLineEdit *>("lineHost")->setText("  127.0.0.1 ");
            dialog->findChild<QSpinBox *>("spinPort")->setValue(port);
            dialog->findChild<QLineEdit *>("linePassword")->setText(password);
            dialog->findChild<QCheckBox *>("checkBox")->setChecked(true);
            dialog->accept();
        }));
        WindowTesting::controller(f.window.get())->onConnectOther();  // the attempt runs in the background; a silent one for 10 s
        QFETCH(QString, box);
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), 2, 30000);
        QVERIFY2(f.closer->texts.last().contains(box), qPrintable(f.closer->texts.join('|')));
        QVERIFY(f.bannerShows("Could not connect to MPD, check your settings.") && !f.widget("controlFrame")->isEnabled());
        QVERIFY(f.widget<QAction>("actionOther")->isEnabled());
        QCOMPARE(silent.hasPendingConnections() || silent.waitForNewConnection(2000), target == "silent");
        QVERIFY(ServerList::load().servers().isEmpty());
        QCOMPARE(readFile(settingsPath()), settingsBefore);
        const MpdFixture &good = target == "password" ? guarded : f.server; // the window is still usable
        std::tie(port, password) = std::tuple(good.port(), good.password());
        WindowTesting::controller(f.window.get())->onConnectOther();
        QTRY_VERIFY_WITH_TIMEOUT(f.widget("controlFrame")->isEnabled(), 15000);
        QCOMPARE(ServerList::load().autoconnectServer().value_or(SavedServer()).address.text(), "127.0.0.1:" + QString::number(port));
        expectedBoxes = f.closer->texts.mid(0, 2) << "Connect";
    }

    // 50 connections come and go, then the server is killed while idle and comes back.
    void rapidReconnects()
    {
        constexpr int Cycles = 50;
        QVERIFY(writeSettings("[general]\nnp_color=#123456\n[lastfm]\nuser=someone\n"));
        const QByteArray settings = readFile(settingsPath());
        QVERIFY(f.open() && f.server.add({"Root Song.flac", "Music/Rock/Modern"}) && f.server.send("play 0"));
        int destroyed = 0; // released connection objects
        const auto track = [&] { connect(WindowTesting::connection(f.window.get()), &QObject::destroyed, this, [&destroyed] { ++destroyed; }); };
        for (int cycle = 0; cycle < Cycles; ++cycle) {
            QVERIFY(WindowTesting::connectWindow(f.window.get(), f.server.host(), f.server.port()));
            track();
            f.widget<QAction>("actionDisconnect")->trigger();
            QCOMPARE(f.widget<QGroupBox>("nowplayingGroup")->title(), "Disconnected");
        }
        QVERIFY(f.connect());
        track();
        QTRY_COMPARE_WITH_TIMEOUT(destroyed, Cycles, 5000);
        // Only the live connection is open on the server (the builders' are closed).
        QTRY_COMPARE_WITH_TIMEOUT(clientsConnectedTo(f.server.port()), 1, 5000);
        for (const auto &[button, field, value] : {std::tuple("nextButton", "song", "1"), {"volumeButton", "volume", "0"},
                                                   {"playpauseButton", "state", "pause"}}) { // one press, one command
            f.widget<QPushButton>(button)->click();
            QTRY_COMPARE_WITH_TIMEOUT(f.server.statusValue(field), value, 5000);
        }
        // A lost server: no box, one notice, retries (once the cycles' notices have gone).
        QTRY_VERIFY_WITH_TIMEOUT(!f.bannerShows("Disconnected from MPD"), 30000);
        const QString songs = CollectionCache("127.0.0.1").filePath(CollectionCache::Songs);
        const auto cache = std::pair(readFile(songs), QFileInfo(songs).lastModified());
        QVERIFY(!cache.first.isEmpty());
        f.server.kill();
        f.verifyReconnectingWithoutBox();
        QCOMPARE(f.banners().count("Reconnecting to MPD..."), 1);
        QCOMPARE(std::pair(readFile(songs), QFileInfo(songs).lastModified()), cache);
        f.reconnectFromDialog(f.server);
        QCOMPARE(readFile(settingsPath()), settings);
        expectedBoxes = {"Connect"};
    }

    void serverWithoutMixer() // no "volume" in the status: the volume controls stay as they are
    {
        MpdFixture silent({{}, {}, 0, {}, false, {}});
        QVERIFY(silent.start(f.musicDir()) && silent.add({"Music/Music of the Night/01 Midnight.flac"}) && silent.send("play 0") && f.open());
        f.widget<QSlider>("volumeSlider")->setValue(37);
        f.widget<QPushButton>("volumeButton")->setIcon(QIcon());
        QVERIFY(f.connect(silent));
        QTRY_VERIFY_WITH_TIMEOUT(f.widget<QLabel>("lblSongProgress")->text().endsWith(" / 5:00"), 5000);
        QVERIFY(f.widget<QSlider>("volumeSlider")->value() == 37 && f.widget<QPushButton>("volumeButton")->icon().isNull());
    }
};

TUNELOOM_TEST_MAIN(TestCore)
#include "tst_core.moc"
