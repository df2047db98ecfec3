#include "modalcloser.h"
#include "mpdfixture.h"
#include "qmpd.h"
#include "qmpdsong.h"
#include "testlibrary.h"
#include "testmain.h"

#include <QTcpServer>

class TestCore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void timeText_data();
    void timeText();
    void songWithoutTags();

    void closedPortGivesNoConnection();
    void statusChangeCarriesSongAndState();
    void transport();
    void seekingPausesWhileDragging();
    void volumeRange_data();
    void volumeRange();
    void muteRestoresVolume();
    void removePositionsAsOneBatch();
    void clearAndPlayFromPos();
    void killedServerIsReportedOnceAsLost();
    void wrongPasswordIsReportedWhileConnecting();

private:
    QStringList playlistFiles() const;
    void loadPlaylist(int songs);

    QTemporaryDir musicDir;
    MpdFixture server;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<Qmpd> qmpd;
    QStringList expectedBoxes;
};

void TestCore::initTestCase()
{
    qRegisterMetaType<ChangedStatusType>();
    qRegisterMetaType<MpdObj *>();
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void TestCore::init()
{
    if (!server.isRunning())
        QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QVERIFY(server.resetState());
    closer = std::make_unique<ModalCloser>();
    qmpd = std::make_unique<Qmpd>(server.host(), server.port(), QString());
    QVERIFY(qmpd->isConnected());
}

void TestCore::cleanup()
{
    qmpd.reset();
    // No test may leave an error box behind unnoticed.
    QCOMPARE(closer->texts, expectedBoxes);
    expectedBoxes.clear();
}

QStringList TestCore::playlistFiles() const
{
    return server.mpc({"-f", "%file%", "playlist"});
}

void TestCore::loadPlaylist(int songs)
{
    const QStringList all = server.mpc({"listall"});
    QVERIFY(all.size() >= songs);
    server.mpc(QStringList{"add"} + all.mid(0, songs));
    QCOMPARE(playlistFiles().size(), songs);
}

void TestCore::timeText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addRow("zero") << 0 << "0:00";
    QTest::addRow("under a minute") << 59 << "0:59";
    QTest::addRow("one minute") << 60 << "1:00";
    QTest::addRow("padded seconds") << 65 << "1:05";
    QTest::addRow("ten minutes") << 600 << "10:00";
    QTest::addRow("over an hour") << 3725 << "62:05";
}

void TestCore::timeText()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    const QmpdSong song(1, seconds, "a", "t", "1", "f.flac", "2001", "al");
    QCOMPARE(song.timeText, text);
    QVERIFY(!song.nowPlaying);
}

void TestCore::songWithoutTags()
{
    mpd_Song *raw = mpd_newSong();
    raw->file = strdup("Misc/No Tags.flac");
    raw->time = 140;
    raw->id = 7;
    for (const auto decoding : {QmpdSong::TrackDateDecoding::Locale, QmpdSong::TrackDateDecoding::Latin1}) {
        const QmpdSong song = QmpdSong::fromMpdSong(raw, decoding);
        QCOMPARE(song.id, 7);
        QCOMPARE(song.file, QString("Misc/No Tags.flac"));
        QVERIFY(song.artist.isEmpty() && song.title.isEmpty() && song.album.isEmpty());
        QVERIFY(song.track.isEmpty() && song.date.isEmpty());
        QCOMPARE(song.timeText, QString("2:20"));
    }
    raw->artist = strdup("Bj\xc3\xb6rk");
    raw->date = strdup("\xe9t\xe9");
    QCOMPARE(QmpdSong::fromMpdSong(raw, QmpdSong::TrackDateDecoding::Latin1).artist,
             QString::fromUtf8("Björk"));
    QCOMPARE(QmpdSong::fromMpdSong(raw, QmpdSong::TrackDateDecoding::Latin1).date,
             QString::fromUtf8("été"));
    mpd_freeSong(raw);
}

void TestCore::closedPortGivesNoConnection()
{
    qmpd.reset();
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();

    Qmpd unreachable("127.0.0.1", closedPort, QString());
    QVERIFY(!unreachable.isConnected());
    QCOMPARE(closer->texts.size(), 1);
    expectedBoxes = closer->texts;
    const auto timers = unreachable.findChildren<QTimer *>();
    QVERIFY(std::none_of(timers.begin(), timers.end(), [](QTimer *t) { return t->isActive(); }));
}

void TestCore::statusChangeCarriesSongAndState()
{
    loadPlaylist(3);
    QSignalSpy spy(qmpd.get(), &Qmpd::mpdStatusChanged);
    server.mpc({"play", "2"});
    const auto sawPlayback = [&spy] {
        for (const QList<QVariant> &call : spy) {
            const int what = call.at(1).value<ChangedStatusType>();
            if ((what & MPD_CST_SONGID) && (what & MPD_CST_STATE))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(sawPlayback(), 3000);
    QCOMPARE(mpd_player_get_state(qmpd->getMpdObj()), int(MPD_PLAYER_PLAY));
    QCOMPARE(spy.first().at(0).value<MpdObj *>(), qmpd->getMpdObj());
}

void TestCore::transport()
{
    loadPlaylist(4);
    QSignalSpy spy(qmpd.get(), &Qmpd::mpdStatusChanged);
    qmpd->onPlaypauseClick();
    QCOMPARE(server.statusValue("state"), QString("play"));
    QVERIFY2(!spy.isEmpty(), "a command refreshes the status at once");
    qmpd->onPlaypauseClick();
    QCOMPARE(server.statusValue("state"), QString("pause"));
    qmpd->onPlaypauseClick();
    QCOMPARE(server.statusValue("state"), QString("play"));
    qmpd->onNextClick();
    QCOMPARE(server.statusValue("song"), QString("1"));
    qmpd->onNextClick();
    qmpd->onPrevClick();
    QCOMPARE(server.statusValue("song"), QString("1"));
    qmpd->onStopClick();
    QCOMPARE(server.statusValue("state"), QString("stop"));
}

void TestCore::seekingPausesWhileDragging()
{
    loadPlaylist(1);
    qmpd->onPlaypauseClick();
    qmpd->onSliderPress();
    QCOMPARE(server.statusValue("state"), QString("pause"));
    qmpd->onSliderMoved(40);
    qmpd->onSliderMoved(61);
    QCOMPARE(server.statusValue("elapsed").toDouble(), 61.0);
    qmpd->onSliderRelease();
    QCOMPARE(server.statusValue("state"), QString("play"));
    // Released while paused by the user: release resumes all the same.
    qmpd->onPlaypauseClick();
    qmpd->onSliderRelease();
    QCOMPARE(server.statusValue("state"), QString("play"));
}

void TestCore::volumeRange_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::addRow("zero") << 0 << "0";
    QTest::addRow("middle") << 42 << "42";
    QTest::addRow("top") << 100 << "100";
    QTest::addRow("above range") << 101 << "77";
    QTest::addRow("below range") << -1 << "77";
}

void TestCore::volumeRange()
{
    QFETCH(int, value);
    QFETCH(QString, expected);
    server.mpc({"volume", "77"});
    qmpd->onVolumeSliderMoved(value);
    QCOMPARE(server.statusValue("volume"), expected);
}

void TestCore::muteRestoresVolume()
{
    server.mpc({"volume", "60"});
    QTRY_COMPARE_WITH_TIMEOUT(mpd_status_get_volume(qmpd->getMpdObj()), 60, 3000);
    qmpd->onVolumeButton();
    QCOMPARE(server.statusValue("volume"), QString("0"));
    QTRY_COMPARE_WITH_TIMEOUT(mpd_status_get_volume(qmpd->getMpdObj()), 0, 3000);
    qmpd->onVolumeButton();
    QCOMPARE(server.statusValue("volume"), QString("60"));
}

void TestCore::removePositionsAsOneBatch()
{
    loadPlaylist(9);
    QStringList expected = playlistFiles();
    QSignalSpy refresh(qmpd.get(), &Qmpd::updatePlaylistNow);
    qmpd->removeFromPlaylist({5, 2, 7});
    for (int row : {7, 5, 2})
        expected.removeAt(row);
    QCOMPARE(playlistFiles(), expected);
    QCOMPARE(refresh.size(), 1);

    qmpd->removeFromPlaylist({});
    QCOMPARE(playlistFiles(), expected);
    QCOMPARE(refresh.size(), 2);
}

void TestCore::clearAndPlayFromPos()
{
    loadPlaylist(5);
    const QStringList files = playlistFiles();
    qmpd->playFromPos(3);
    QCOMPARE(server.mpc({"-f", "%file%", "current"}), QStringList{files.at(3)});
    qmpd->playFromPos(99);
    QCOMPARE(server.mpc({"-f", "%file%", "current"}), QStringList{files.at(3)});

    QSignalSpy refresh(qmpd.get(), &Qmpd::updatePlaylistNow);
    qmpd->onClearPlaylist();
    QVERIFY(playlistFiles().isEmpty());
    QCOMPARE(refresh.size(), 1);
}

void TestCore::killedServerIsReportedOnceAsLost()
{
    QSignalSpy lost(qmpd.get(), &Qmpd::connectionLost);
    server.kill();
    QVERIFY(lost.wait(5000));
    // No box: the window reconnects by itself. The dead connection stays quiet.
    QVERIFY(!lost.wait(2000));
    QCOMPARE(lost.size(), 1);
    QVERIFY(!qmpd->isConnected());
}

void TestCore::wrongPasswordIsReportedWhileConnecting()
{
    qmpd.reset();
    MpdFixture::Options options;
    options.password = "right";
    MpdFixture guarded(options);
    QVERIFY2(guarded.start(musicDir.path()), qPrintable(guarded.errorString()));
    Qmpd wrong(guarded.host(), guarded.port(), "wrong");
    // One box for the attempt, shown and closed before the constructor returned.
    QCOMPARE(closer->texts.size(), 1);
    QVERIFY(closer->texts.first().contains("incorrect password"));
    QVERIFY(!wrong.isConnected());
    expectedBoxes = closer->texts;
}

TUNELOOM_TEST_MAIN(TestCore)
#include "tst_core.moc"
