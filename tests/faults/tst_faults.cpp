// Faults against a real server: a server that dies in the middle of the window's work, servers
// that refuse or never answer, quitting while workers run, and many reconnections in a row.
#include "busyindicator.h"
#include "collectioncache.h"
#include "delayedkill.h"
#include "infobanner.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "qmpd.h"
#include "settingsstore.h"
#include "silentlistener.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>

#include <memory>

namespace {

constexpr int BigLibrarySongs = 100000;
// mpd's default max_playlist_length is 16384.
constexpr int QueueArtists = 320;  // 50 songs each
constexpr int BuildTimeoutMs = 120000;
constexpr int ConnectionTimeoutMs = 10000;
// How long a quitting process may take, sanitizer leak check included.
constexpr int QuitTimeoutMs = 5000;

const QString SettingsText = QStringLiteral("[general]\nnp_color=#123456\n"
                                            "delete_albumart=false\n"
                                            "[lastfm]\nenable=false\nuser=someone\n");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString settingsPath()
{
    return SettingsStore::directory() + QStringLiteral("/config.conf");
}

// Every cache file of the test servers' host, by name: contents and modification time.
QMap<QString, QByteArray> cacheSnapshot()
{
    QMap<QString, QByteArray> files;
    const QDir dir(CollectionCache::directory());
    for (const QFileInfo &file :
         dir.entryInfoList({QStringLiteral(".127.0.0.1.*")}, QDir::Files | QDir::Hidden)) {
        files.insert(file.fileName(),
                     readFile(file.filePath()) + '@'
                             + QByteArray::number(file.lastModified().toMSecsSinceEpoch()));
    }
    return files;
}

// Established client connections to a loopback port, from any process (IPv4 only, as used here).
int clientsConnectedTo(int port)
{
    const QList<QByteArray> lines = readFile(QStringLiteral("/proc/net/tcp")).split('\n');
    const QByteArray remote = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(2).endsWith(remote) && fields.at(3) == "01")
            ++count;
    }
    return count;
}

QString queueCommand()
{
    QStringList lines{QStringLiteral("command_list_begin")};
    for (int artist = 0; artist < QueueArtists; ++artist)
        lines << QStringLiteral("add \"Synthetic/Artist %1\"").arg(artist, 4, 10, QLatin1Char('0'));
    lines << QStringLiteral("command_list_end");
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void killedWhileIdle();
    void killedDuringPlaylistRebuild();
    void killedDuringCollectionBuild();
    void killedDuringPaste();

    void wrongPassword();
    void nothingListens();
    void silentListener();

    void rapidReconnects();

    void quitDuringCollectionBuild();
    void quitDuringHangingCoverDownload();
    void quitDuringDatabaseUpdate();

private:
    MpdFixture &bigServer();
    bool fillQueue(MpdFixture &mpd);
    void snapshotDisk();
    void verifyReconnectingWithoutBox();
    void verifyDiskUnchanged();
    void reconnectFromDialog(MpdFixture &mpd);
    bool selectPlaylistRows(int first, int last);
    bool bannerShows(const QString &message) const;
    void runQuitDriver(const QString &mode, const MpdFixture &mpd);
    template<typename T> T *widget(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    QTemporaryDir musicDir;
    QTemporaryDir bigDir;
    MpdFixture server;
    std::unique_ptr<MpdFixture> big;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
    QByteArray settingsBefore;
    QMap<QString, QByteArray> cacheBefore;
};

void TestFaults::initTestCase()
{
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void TestFaults::init()
{
    if (!server.isRunning())
        QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QVERIFY(server.resetState());
    QVERIFY(QDir(SettingsStore::directory()).removeRecursively());
    QVERIFY(SettingsStore::ensureDirectory());
    QFile settings(settingsPath());
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(SettingsText.toUtf8());
    settings.close();
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
}

void TestFaults::cleanup()
{
    window.reset();
    closer.reset();
}

MpdFixture &TestFaults::bigServer()
{
    if (!big)
        big = TestLibrary::startSyntheticServer(bigDir.path(), BigLibrarySongs);
    if (!big->isRunning() && !big->restart())
        qFatal("big mpd: %s", qPrintable(big->errorString()));
    return *big;
}

bool TestFaults::fillQueue(MpdFixture &mpd)
{
    return mpd.resetState() && mpd.send(queueCommand());
}

void TestFaults::snapshotDisk()
{
    settingsBefore = readFile(settingsPath());
    cacheBefore = cacheSnapshot();
}

bool TestFaults::bannerShows(const QString &message) const
{
    return window->findChild<InfoBanner *>()->visibleMessages().contains(message);
}

void TestFaults::verifyReconnectingWithoutBox()
{
    QTRY_VERIFY_WITH_TIMEOUT(!widget<QWidget>("controlFrame")->isEnabled(), 10000);
    QCOMPARE(closer->texts, QStringList());
    QVERIFY(bannerShows(QStringLiteral("Reconnecting to MPD...")));
    QCOMPARE(widget<QGroupBox>("nowplayingGroup")->title(), QStringLiteral("Reconnecting to MPD..."));
    // Left on: it stops the retries.
    QVERIFY(widget<QAction>("actionDisconnect")->isEnabled());
    QVERIFY(!widget<QWidget>("tabWidget")->isEnabled());
    QCOMPARE(widget<QTableView>("playlistTableview")->model()->rowCount(), 0);
    // The released connection goes with the next turn of the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(Qmpd::static_this == nullptr, 2000);
    // Retries raise no boxes.
    QTest::qWait(1500);
    QCOMPARE(closer->texts, QStringList());
}

void TestFaults::verifyDiskUnchanged()
{
    QCOMPARE(readFile(settingsPath()), settingsBefore);
    QCOMPARE(cacheSnapshot(), cacheBefore);
}

void TestFaults::reconnectFromDialog(MpdFixture &mpd)
{
    QVERIFY2(mpd.restart(), qPrintable(mpd.errorString()));
    closer = std::make_unique<ModalCloser>([&mpd](QDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("lineHost"))->setText(mpd.host());
        dialog->findChild<QSpinBox *>(QStringLiteral("spinPort"))->setValue(mpd.port());
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox"))->setChecked(false);
        dialog->accept();
    });
    widget<QAction>("actionOther")->trigger();
    QCOMPARE(closer->texts, QStringList{QStringLiteral("Connect")});
    QTRY_VERIFY_WITH_TIMEOUT(widget<QWidget>("controlFrame")->isEnabled(), 10000);
    QVERIFY(bannerShows(QStringLiteral("Connected to MPD succesfully!")));
    QVERIFY(Qmpd::static_this && Qmpd::static_this->isConnected());
    QCOMPARE(readFile(settingsPath()), settingsBefore);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<BusyIndicator *>()->isRunning(), BuildTimeoutMs);
    QCOMPARE(closer->texts.size(), 1);
}

bool TestFaults::selectPlaylistRows(int first, int last)
{
    auto *view = widget<QTableView>("playlistTableview");
    const QAbstractItemModel *model = view->model();
    if (last >= model->rowCount())
        return false;
    view->selectionModel()->select(QItemSelection(model->index(first, 0), model->index(last, 0)),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

void TestFaults::killedWhileIdle()
{
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    snapshotDisk();
    QVERIFY(!cacheBefore.isEmpty());
    server.kill();
    verifyReconnectingWithoutBox();
    verifyDiskUnchanged();
    reconnectFromDialog(server);
}

void TestFaults::killedDuringPlaylistRebuild()
{
    MpdFixture &mpd = bigServer();
    QVERIFY(fillQueue(mpd));
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), mpd.host(), mpd.port()));
    const int queued = widget<QTableView>("playlistTableview")->model()->rowCount();
    QCOMPARE(queued, QueueArtists * 50);
    snapshotDisk();

    // A queue refilled by another client is fetched whole in one libmpd call on the GUI
    // thread (the poll, here run at once); the kill comes from another thread a third of a
    // fetch's time into it.
    QVERIFY(fillQueue(mpd));
    QElapsedTimer rebuild;
    rebuild.start();
    Qmpd::static_this->onTimerUpdate();
    const qint64 rebuildMs = rebuild.elapsed();
    QVERIFY2(rebuildMs >= 30, qPrintable(QString::number(rebuildMs)));

    QVERIFY(fillQueue(mpd));
    DelayedKill killer(mpd.pid(), int(rebuildMs / 3));
    Qmpd::static_this->onTimerUpdate();
    const qint64 returnedAt = killer.elapsed();
    killer.join();
    qInfo("rebuild %lld ms; killed at %lld ms, returned at %lld ms", rebuildMs, killer.firedAt(),
          returnedAt);
    QVERIFY2(killer.firedAt() < returnedAt, "the rebuild ended before the kill");
    mpd.kill();

    verifyReconnectingWithoutBox();
    verifyDiskUnchanged();
    reconnectFromDialog(mpd);
    // A killed mpd saves no state: the window shows what the restarted one has.
    QCOMPARE(widget<QTableView>("playlistTableview")->model()->rowCount(),
             mpd.statusValue(QStringLiteral("playlistlength")).toInt());
}

void TestFaults::killedDuringCollectionBuild()
{
    MpdFixture &mpd = bigServer();
    QVERIFY(mpd.resetState());
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), mpd.host(), mpd.port()));
    widget<QAction>("actionDisconnect")->trigger();
    // An old cache makes the next build ask the server.
    const QString songsFile = CollectionCache(mpd.host()).filePath(CollectionCache::Songs);
    QFile songs(songsFile);
    QVERIFY(songs.open(QIODevice::ReadWrite));
    QVERIFY(songs.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)),
                              QFileDevice::FileModificationTime));
    songs.close();
    snapshotDisk();
    QCOMPARE(cacheBefore.size(), 4);
    closer->texts.clear();

    QVERIFY(WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port()));
    auto *busy = window->findChild<BusyIndicator *>();
    QVERIFY(busy->isRunning());
    // The build runs on its own thread: the test's event loop runs meanwhile. The
    // server's listing of 100,000 songs takes a few hundred ms; kill well inside it
    // (once the listing has arrived, a build is complete and may write its cache).
    QTest::qWait(50);
    QVERIFY2(busy->isRunning(), "the build ended before the kill");
    mpd.kill();

    verifyReconnectingWithoutBox();
    QTRY_VERIFY_WITH_TIMEOUT(!busy->isRunning(), BuildTimeoutMs);
    verifyDiskUnchanged();
    reconnectFromDialog(mpd);
}

void TestFaults::killedDuringPaste()
{
    MpdFixture &mpd = bigServer();
    QVERIFY(fillQueue(mpd));
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), mpd.host(), mpd.port()));
    const int queued = widget<QTableView>("playlistTableview")->model()->rowCount();
    QVERIFY(selectPlaylistRows(1, queued - 1));
    window->onCutSelected();
    QTRY_COMPARE_WITH_TIMEOUT(mpd.statusValue(QStringLiteral("playlistlength")),
                              QStringLiteral("1"), 5000);
    QCOMPARE(closer->texts, QStringList());
    QVERIFY(selectPlaylistRows(0, 0));
    snapshotDisk();

    // A paste sends the songs in batches, then moves them one by one: thousands of round trips.
    DelayedKill killer(mpd.pid(), 40);
    window->onPasteSongs();
    const qint64 returnedAt = killer.elapsed();
    killer.join();
    qInfo("paste killed at %lld ms, returned at %lld ms", killer.firedAt(), returnedAt);
    QVERIFY2(killer.firedAt() < returnedAt, "the paste ended before the kill");
    mpd.kill();

    verifyReconnectingWithoutBox();
    verifyDiskUnchanged();
    reconnectFromDialog(mpd);
}

void TestFaults::wrongPassword()
{
    MpdFixture::Options options;
    options.password = QStringLiteral("right");
    MpdFixture guarded(options);
    QVERIFY2(guarded.start(musicDir.path()), qPrintable(guarded.errorString()));
    snapshotDisk();

    window->connectMPD(guarded.host(), guarded.port(), QStringLiteral("wrong"));
    QTRY_COMPARE_WITH_TIMEOUT(closer->texts.size(), 1, ConnectionTimeoutMs);
    QVERIFY2(closer->texts.first().contains(QLatin1String("incorrect password")),
             qPrintable(closer->texts.first()));
    QVERIFY(bannerShows(QStringLiteral("Could not connect to MPD, check your settings.")));
    QVERIFY(!widget<QWidget>("controlFrame")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(Qmpd::static_this == nullptr, 2000);

    // Still usable: the right password connects.
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), guarded.host(), guarded.port(),
                                                       QStringLiteral("right")));
    QVERIFY(widget<QWidget>("controlFrame")->isEnabled());
    QCOMPARE(closer->texts.size(), 1);
    QCOMPARE(readFile(settingsPath()), settingsBefore);
}

void TestFaults::nothingListens()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();

    window->connectMPD(server.host(), closedPort, QString());
    QTRY_COMPARE_WITH_TIMEOUT(closer->texts.size(), 1, 2000);
    QVERIFY2(closer->texts.first().startsWith(QLatin1String("MPD Error ")),
             qPrintable(closer->texts.first()));
    QVERIFY(bannerShows(QStringLiteral("Could not connect to MPD, check your settings.")));
    QVERIFY(!widget<QWidget>("controlFrame")->isEnabled());
    QVERIFY(widget<QAction>("actionOther")->isEnabled());

    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    QCOMPARE(closer->texts.size(), 1);
}

void TestFaults::silentListener()
{
    SilentListener listener;
    const quint16 port = listener.listen();
    QVERIFY(port != 0);

    // The attempt runs in the background (tst_connection shows the window meanwhile).
    window->connectMPD(server.host(), port, QString());
    QTRY_COMPARE_WITH_TIMEOUT(closer->texts.size(), 1, ConnectionTimeoutMs + 2000);
    QCOMPARE(listener.acceptedConnections(), 1);
    QVERIFY2(closer->texts.first().startsWith(QLatin1String("MPD Error ")),
             qPrintable(closer->texts.first()));
    QVERIFY(bannerShows(QStringLiteral("Could not connect to MPD, check your settings.")));
    QVERIFY(!widget<QWidget>("controlFrame")->isEnabled());

    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    QCOMPARE(closer->texts.size(), 1);
}

void TestFaults::rapidReconnects()
{
    constexpr int Cycles = 50;
    for (const char *file : {"Root Song.flac",
                             "Music/Rock/Modern/Bright Signal/Greatest Hits/01 "
                             "Signal Fire.flac",
                             "Music/Rock/Modern/Bright Signal/Greatest Hits/02 Static.flac"})
        QVERIFY(server.send(QStringLiteral("add \"%1\"").arg(QLatin1String(file))));
    QVERIFY(server.send(QStringLiteral("play 0")));

    int created = 0;
    int destroyed = 0;
    const auto track = [&] {
        ++created;
        connect(Qmpd::static_this, &QObject::destroyed, this, [&destroyed] { ++destroyed; });
    };
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port()));
        track();
        widget<QAction>("actionDisconnect")->trigger();
    }
    QVERIFY(WindowTesting::connectAndWaitForCollection(window.get(), server.host(), server.port()));
    track();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTRY_COMPARE_WITH_TIMEOUT(destroyed, Cycles, 2000);
    QCOMPARE(created, Cycles + 1);
    QVERIFY(window->findChildren<Qmpd *>().isEmpty());
    QVERIFY(Qmpd::static_this->isConnected());
    // Only the live connection is open on the server (the builders' are closed).
    QTRY_COMPARE_WITH_TIMEOUT(clientsConnectedTo(server.port()), 1, 3000);

    // One press, one command.
    widget<QPushButton>("nextButton")->click();
    QCOMPARE(server.statusValue(QStringLiteral("song")), QStringLiteral("1"));
    widget<QPushButton>("volumeButton")->click();
    QCOMPARE(server.statusValue(QStringLiteral("volume")), QStringLiteral("0"));
    widget<QPushButton>("playpauseButton")->click();
    QCOMPARE(server.statusValue(QStringLiteral("state")), QStringLiteral("pause"));
    QCOMPARE(closer->texts, QStringList());

    // One loss, no box, one notice (once the cycles' notices have expired).
    QTRY_VERIFY_WITH_TIMEOUT(!bannerShows(QStringLiteral("Disconnected from MPD")),
                             InfoBanner::DefaultTimeoutMs + 2000);
    server.kill();
    verifyReconnectingWithoutBox();
    QCOMPARE(window->findChild<InfoBanner *>()->visibleMessages().count(
                     QStringLiteral("Reconnecting to MPD...")),
             1);
}

void TestFaults::runQuitDriver(const QString &mode, const MpdFixture &mpd)
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QDir().mkpath(home.filePath(QStringLiteral(".config/tuneloom")));
    {
        QSettings settings(home.filePath(QStringLiteral(".config/tuneloom/config.conf")),
                           QSettings::IniFormat);
        settings.setValue(SettingsKey::AutoconnectHost, mpd.host());
        settings.setValue(SettingsKey::AutoconnectPort, mpd.port());
        settings.setValue(SettingsKey::AutoconnectPassword, QString());
    }
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    driver.setProcessEnvironment(environment);
    driver.start(QStringLiteral(QUIT_DRIVER), {mode});
    QVERIFY2(driver.waitForStarted(5000), qPrintable(driver.errorString()));

    QByteArray output;
    const bool closing = QTest::qWaitFor(
            [&] {
                output += driver.readAllStandardOutput();
                return output.contains("closing\n") || driver.state() == QProcess::NotRunning;
            },
            BuildTimeoutMs);
    QElapsedTimer sinceClose;
    sinceClose.start();
    const bool updating = !mpd.statusValue(QStringLiteral("updating_db")).isEmpty();
    const bool exited
            = driver.state() == QProcess::NotRunning || driver.waitForFinished(QuitTimeoutMs);
    const qint64 quitMs = sinceClose.elapsed();
    if (!exited) {
        driver.kill();
        driver.waitForFinished(5000);
    }
    output += driver.readAllStandardOutput();
    const QByteArray errors = driver.readAllStandardError();
    qInfo("%s: exited %lld ms after closing", qPrintable(mode), quitMs);
    QVERIFY2(closing && output.contains("closing\n"), (output + errors).constData());
    QVERIFY2(exited, qPrintable(QString::number(quitMs)));
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QVERIFY2(driver.exitCode() == 0, errors.constData());
    for (const char *report : {"Sanitizer", "runtime error", "QThread: Destroyed"})
        QVERIFY2(!errors.contains(report), errors.constData());
    if (mode == QLatin1String("update"))
        QVERIFY2(updating, "the update ended before the window closed");
}

void TestFaults::quitDuringCollectionBuild()
{
    MpdFixture &mpd = bigServer();
    QVERIFY(mpd.resetState());
    runQuitDriver(QStringLiteral("build"), mpd);
}

void TestFaults::quitDuringHangingCoverDownload()
{
    QVERIFY(server.send(QStringLiteral("add \"Root Song.flac\"")));
    QVERIFY(server.send(QStringLiteral("play 0")));
    runQuitDriver(QStringLiteral("cover"), server);
}

void TestFaults::quitDuringDatabaseUpdate()
{
    // An update scans every file it does not know yet: thousands of empty ".flac" files that
    // fail to decode keep it busy long enough, and make it fail them again at every update.
    QTemporaryDir slowDir;
    MpdFixture slow;
    QVERIFY2(slow.start(slowDir.path()), qPrintable(slow.errorString()));
    QDir().mkpath(slowDir.filePath(QStringLiteral("Junk")));
    for (int i = 0; i < 20000; ++i) {
        QFile junk(slowDir.filePath(QStringLiteral("Junk/%1.flac").arg(i)));
        QVERIFY(junk.open(QIODevice::WriteOnly));
    }
    runQuitDriver(QStringLiteral("update"), slow);
}

TUNELOOM_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
