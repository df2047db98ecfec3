// The window's connection to the server: controls, settings, connecting and its failures, and a
// server that dies under the window.
#include "collectioncache.h"
#include "infobanner.h"
#include "playlistitemdelegate.h"
#include "qmpd.h"
#include "settingsstore.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>


namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString settingsPath()
{
    return SettingsStore::directory() + "/config.conf";
}

bool writeSettings(const QByteArray &ini)
{
    QFile file(settingsPath());
    return SettingsStore::ensureDirectory() && file.open(QIODevice::WriteOnly)
            && file.write(ini) == ini.size();
}

int closedPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

// Established client connections to a loopback port, from any process (IPv4).
int clientsConnectedTo(int port)
{
    const QByteArray remote = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const QByteArray &line : readFile("/proc/net/tcp").split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        count += fields.size() > 3 && fields.at(2).endsWith(remote) && fields.at(3) == "01";
    }
    return count;
}

}  // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init() { QVERIFY(WindowFixture::resetHome()); }
    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    void controls_data();
    void controls();
    void bannersStackAndExpire();
    void settingsFile_data();
    void settingsFile();
    void dialogStoresAutoconnectOnlyOnSuccess();
    void connectFails_data();
    void connectFails();
    void killedWhileIdle();
    void rapidReconnects();
    void serverWithoutMixer();

private:
    WindowFixture f;
    QStringList expectedBoxes;
};

void TestCore::controls_data()
{
    // Steps: a button's name clicked, or slider:value (volume), or press/move:s/release (seek).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addRow("play") << QStringList{"playpauseButton"} << "state" << "play";
    QTest::addRow("pause") << QStringList{"playpauseButton", "playpauseButton"} << "state" << "pause";
    QTest::addRow("resume") << QStringList(3, "playpauseButton") << "state" << "play";
    QTest::addRow("stop") << QStringList{"playpauseButton", "stopButton"} << "state" << "stop";
    QTest::addRow("next") << QStringList{"playpauseButton", "nextButton"} << "song" << "1";
    QTest::addRow("previous")
            << QStringList{"playpauseButton", "nextButton", "nextButton", "prevButton"} << "song"
            << "1";
    QTest::addRow("mute") << QStringList{"volumeButton"} << "volume" << "0";
    QTest::addRow("unmute restores") << QStringList(2, "volumeButton") << "volume" << "60";
    QTest::addRow("volume 0") << QStringList{"slider:0"} << "volume" << "0";
    QTest::addRow("volume 42") << QStringList{"slider:42"} << "volume" << "42";
    QTest::addRow("volume 100") << QStringList{"slider:100"} << "volume" << "100";
    QTest::addRow("volume above range") << QStringList{"slider:101"} << "volume" << "60";
    QTest::addRow("volume below range") << QStringList{"slider:-1"} << "volume" << "60";
    QTest::addRow("seek pauses while dragging")
            << QStringList{"playpauseButton", "press"} << "state" << "pause";
    QTest::addRow("seek goes where dragged")
            << QStringList{"playpauseButton", "press", "move:40", "move:61"} << "elapsed" << "61.000";
    QTest::addRow("release resumes")
            << QStringList{"playpauseButton", "press", "move:61", "release"} << "state" << "play";
    QTest::addRow("release resumes a user's pause")
            << QStringList{"playpauseButton", "playpauseButton", "release"} << "state" << "play";
}

void TestCore::controls()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QVERIFY(f.open());
    QVERIFY(f.server.add({"Root Song.flac", "Misc", "Music/Pop"}));
    QVERIFY(f.server.send("setvol 60"));
    QVERIFY(f.connect());
    QTRY_COMPARE_WITH_TIMEOUT(f.widget<QSlider>("volumeSlider")->value(), 60, 5000);
    auto *seek = f.widget<QSlider>("songProgressSlider");
    for (const QString &step : steps) {
        const int number = step.section(':', 1).toInt();
        if (step.startsWith("slider:"))
            emit f.widget<QSlider>("volumeSlider")->sliderMoved(number);
        else if (step == "press")
            emit seek->sliderPressed();
        else if (step.startsWith("move:"))
            emit seek->sliderMoved(number);
        else if (step == "release")
            emit seek->sliderReleased();
        else
            f.widget<QPushButton>(qPrintable(step))->click();
    }
    QCOMPARE(f.server.statusValue(field), value);
}

void TestCore::bannersStackAndExpire()
{
    QVERIFY(f.open());
    auto *banner = f.window->findChild<InfoBanner *>();
    for (const char *message : {"first", "second", "third"})
        f.window->myShowMessage(message);
    QCOMPARE(banner->visibleMessages(), QStringList({"first", "second", "third"}));
    QVERIFY(banner->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QTRY_VERIFY_WITH_TIMEOUT(banner->visibleMessages().isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!banner->isVisible(), 10000);
}

void TestCore::settingsFile_data()
{
    QTest::addColumn<QByteArray>("ini");  // PORT stands for the server's port
    QTest::addColumn<bool>("connects");
    const QByteArray host = "[autoconnect]\nhost=127.0.0.1\nport=";
    QTest::addRow("autoconnect") << host + "PORT\n" << true;
    QTest::addRow("first start") << QByteArray() << false;
    for (const char *port : {"-1", "0", "70000", "99999999999", "sixty-six hundred", "@Point(1 2)"})
        QTest::addRow("port %s", port) << host + port + '\n' << false;
    QTest::addRow("every key of a wrong type") << QByteArray(
            "[autoconnect]\nhost=@Point(1 2)\nport=@Size(1 2)\npassword=@Size(1 2)\n"
            "[general]\nnp_color=#zzzzzz\ndelete_albumart=perhaps\n"
            "[lastfm]\nenable=2\nuser=@Rect(1 2 3 4)\nhash=not-a-digest\n"
            "[app]\nposition=@Size(5 5)\nsize=@Point(-3 -3)\nmaximized=yes-ish\nhidden=-1\n")
                                               << false;
    QTest::addRow("broken colour variant")
            << QByteArray("[general]\nnp_color=\"@Variant(\\0\\0\\0\\x43\\x1\\xff)\"\n") << false;
    for (const char *size : {"@Size(-800 -550)", "@Size(1 1)", "800x550"})
        QTest::addRow("size %s", size) << "[app]\nsize=" + QByteArray(size) + '\n' << false;
    for (const char *position : {"@Point(-100000 -100000)", "@Point(100000 100000)", "10,10"})
        QTest::addRow("position %s", position)
                << "[app]\nposition=" + QByteArray(position) + '\n' << false;
    QTest::addRow("1 MiB user name")
            << "[lastfm]\nenable=true\nuser=" + QByteArray(1 << 20, 'u') + '\n' << false;
    QByteArray noise(4096, 0);
    QRandomGenerator random(7);
    for (char &byte : noise)
        byte = char(random.bounded(256));
    QTest::addRow("random bytes") << noise << false;
}

// Whatever the file says, the window opens visible where the user can reach it, at least its
// minimum size, with the default colour, and connects only to a real port.
void TestCore::settingsFile()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, connects);
    if (!ini.isEmpty())
        QVERIFY(writeSettings(ini.replace("PORT", QByteArray::number(f.server.port()))));
    QVERIFY(f.open());
    QVERIFY(f.window->isVisible() && !f.window->isMaximized());
    QVERIFY(f.window->width() >= 800 && f.window->height() >= 550);
    QVERIFY(f.window->screen()->availableGeometry().intersects(f.window->frameGeometry()));
    QCOMPARE(f.window->findChild<PlaylistItemDelegate *>()->getNpColor(),
             PlaylistItemDelegate().getNpColor());
    QCOMPARE(f.widget("controlFrame")->isEnabled(), connects);
    QCOMPARE(f.bannerShows("Connected to MPD succesfully!"), connects);
    QCOMPARE(f.banners().isEmpty(), !connects);
    if (connects)
        QCOMPARE(f.widget<QSlider>("volumeSlider")->value(), 100);
    f.window.reset();
    // The file holds a password: only its owner may read it.
    QCOMPARE(QFileInfo(settingsPath()).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(SettingsStore::directory()).permissions() & 0x0077,
             QFileDevice::Permissions());
}

void TestCore::dialogStoresAutoconnectOnlyOnSuccess()
{
    int port = closedPort();
    const auto stored = [](const char *key) { return SettingsStore()->value(key).toString(); };
    QVERIFY(f.open([&](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineHost")->setText("  127.0.0.1 ");
        dialog->findChild<QSpinBox *>("spinPort")->setValue(port);
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(true);
        dialog->accept();
    }));
    f.window->onConnectOther();
    QVERIFY(!f.widget("controlFrame")->isEnabled());
    QVERIFY(f.bannerShows("Could not connect to MPD, check your settings."));
    QVERIFY(stored(SettingsKey::AutoconnectHost).isEmpty());
    port = f.server.port();
    f.window->onConnectOther();
    QVERIFY(f.widget("controlFrame")->isEnabled());
    QCOMPARE(stored(SettingsKey::AutoconnectHost), "127.0.0.1");
    QCOMPARE(stored(SettingsKey::AutoconnectPort), QString::number(port));
    expectedBoxes = {"Connect", "Connect"};
    expectedBoxes.insert(1, f.closer->texts.value(1));  // the failed attempt's error box
}

void TestCore::connectFails_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("box");
    QTest::addRow("nothing listens") << "closed" << "MPD Error ";
    QTest::addRow("silent listener") << "silent" << "MPD Error ";
    QTest::addRow("wrong password") << "password" << "incorrect password";
}

void TestCore::connectFails()
{
    QFETCH(QString, target);
    QFETCH(QString, box);
    QVERIFY(writeSettings("[lastfm]\nuser=someone\n"));
    const QByteArray settingsBefore = readFile(settingsPath());
    MpdFixture::Options locked;
    locked.password = "right";
    MpdFixture guarded(locked);
    // The kernel completes a connection to a listening socket that nobody serves: a wedged mpd.
    QTcpServer silent;
    int port = closedPort();
    if (target == "silent") {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        port = silent.serverPort();
    } else if (target == "password") {
        QVERIFY2(guarded.start(f.musicDir()), qPrintable(guarded.errorString()));
        port = guarded.port();
    }
    QVERIFY(f.open());
    QVERIFY(!f.window->connectMPD("127.0.0.1", port, "wrong"));
    QCOMPARE(f.closer->texts.size(), 1);
    QVERIFY2(f.closer->texts.first().contains(box), qPrintable(f.closer->texts.first()));
    QVERIFY(f.bannerShows("Could not connect to MPD, check your settings."));
    QVERIFY(!f.widget("controlFrame")->isEnabled());
    QVERIFY(f.widget<QAction>("actionOther")->isEnabled());
    QCOMPARE(silent.hasPendingConnections() || silent.waitForNewConnection(2000), target == "silent");
    // The window is still usable.
    QVERIFY(target == "password" ? f.connect(guarded, "right") : f.connect());
    QCOMPARE(readFile(settingsPath()), settingsBefore);
    expectedBoxes = f.closer->texts.mid(0, 1);
}

void TestCore::killedWhileIdle()
{
    QVERIFY(writeSettings("[general]\nnp_color=#123456\n[lastfm]\nuser=someone\n"));
    QVERIFY(f.open());
    QVERIFY(f.connect());
    const QByteArray settings = readFile(settingsPath());
    const QString songs = CollectionCache("127.0.0.1").filePath(CollectionCache::Songs);
    const QByteArray cache = readFile(songs);
    const QDateTime cacheTime = QFileInfo(songs).lastModified();
    QVERIFY(!cache.isEmpty());
    f.server.kill();
    f.verifyDisconnectedAfterOneBox();
    QCOMPARE(readFile(settingsPath()), settings);
    QCOMPARE(readFile(songs), cache);
    QCOMPARE(QFileInfo(songs).lastModified(), cacheTime);
    f.reconnectFromDialog(f.server);
    QCOMPARE(readFile(settingsPath()), settings);
    expectedBoxes = {"Connect"};
}

void TestCore::rapidReconnects()
{
    constexpr int Cycles = 50;
    QVERIFY(f.open());
    QVERIFY(f.server.add({"Root Song.flac", "Music/Rock/Modern"}));
    QVERIFY(f.server.send("play 0"));
    int created = 0;
    int destroyed = 0;
    const auto track = [&] {
        ++created;
        connect(Qmpd::static_this, &QObject::destroyed, this, [&destroyed] { ++destroyed; });
    };
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        QVERIFY(f.window->connectMPD(f.server.host(), f.server.port(), QString()));
        track();
        f.widget<QAction>("actionDisconnect")->trigger();
        QCOMPARE(f.widget<QGroupBox>("nowplayingGroup")->title(), "Disconnected");
    }
    QVERIFY(f.connect());
    track();
    QTRY_COMPARE_WITH_TIMEOUT(destroyed, Cycles, 5000);
    QCOMPARE(created, Cycles + 1);
    QVERIFY(Qmpd::static_this->isConnected());
    // Only the live connection is open on the server (the builders' are closed).
    QTRY_COMPARE_WITH_TIMEOUT(clientsConnectedTo(f.server.port()), 1, 5000);
    // One press, one command.
    f.widget<QPushButton>("nextButton")->click();
    QCOMPARE(f.server.statusValue("song"), "1");
    f.widget<QPushButton>("volumeButton")->click();
    QCOMPARE(f.server.statusValue("volume"), "0");
    f.widget<QPushButton>("playpauseButton")->click();
    QCOMPARE(f.server.statusValue("state"), "pause");
    QTRY_COMPARE_WITH_TIMEOUT(f.rows("playlistTableview").size(), 3, 5000);
    QVERIFY(f.click(f.widget<QTableView>("playlistTableview"), 1));
    f.widget<QPushButton>("playlistDelSelButton")->click();
    QCOMPARE(f.server.queue().size(), 2);
    QCOMPARE(f.banners().count("Removed 1 songs from playlist"), 1);
    QVERIFY(!f.bannerShows("No songs selected"));
    QCOMPARE(f.closer->texts, QStringList());
    // One error, one box, one disconnection notice (once the cycles' notices have gone).
    QTRY_VERIFY_WITH_TIMEOUT(!f.bannerShows("Disconnected from MPD"), 30000);
    f.server.kill();
    f.verifyDisconnectedAfterOneBox();
    QCOMPARE(f.banners().count("Disconnected from MPD"), 1);
    expectedBoxes = f.closer->texts;
}

void TestCore::serverWithoutMixer()
{
    MpdFixture::Options options;
    options.mixer = false;
    MpdFixture silent(options);
    QVERIFY2(silent.start(f.musicDir()), qPrintable(silent.errorString()));
    QVERIFY(silent.add({"Music/Music of the Night/01 Midnight.flac"}) && silent.send("play 0"));
    QVERIFY(f.open());
    auto *slider = f.widget<QSlider>("volumeSlider");
    slider->setValue(37);
    f.widget<QPushButton>("volumeButton")->setIcon(QIcon());
    QVERIFY(f.connect(silent));
    QTRY_VERIFY_WITH_TIMEOUT(f.widget<QLabel>("lblSongProgress")->text().endsWith(" / 5:00"), 5000);
    QCOMPARE(slider->value(), 37);
    QVERIFY(f.widget<QPushButton>("volumeButton")->icon().isNull());
}

TUNELOOM_TEST_MAIN(TestCore)
#include "tst_core.moc"
