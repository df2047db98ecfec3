// Covers of the now-playing panel from a real mpd, with a local server standing in for Last.fm.
#include "covers/coverfetcher.h"
#include "localhttpserver.h"
#include "covers/servercoversource.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QRandomGenerator>

static const QString COVERS = QStringLiteral(TUNELOOM_SOURCE_DIR "/scripts/library-covers/");
static const QString SIGNAL = QStringLiteral("Music/Rock/Modern/Bright Signal/Greatest Hits/0");
static const QString BIG = QStringLiteral("Music/World/Кино/Группа крови/");
static const QString KEY = QString::fromLatin1(CoverFetcher::DEFAULT_API_KEY);

class TestCovers : public QObject
{
    Q_OBJECT
    WindowFixture f{MpdFixture::Options{{}, {}, 0, {}, true, "verbose"}};  // every command logged
    const MpdFixture &mpd = f.server;
    LocalHttpServer lastfm;
    CoverFetcher *fetcher = nullptr;

    int serverCoverRequests() const
    {
        static const QRegularExpression command("process command \"(readpicture|albumart) ");
        return int(QString::fromUtf8(readFile(mpd.logFile())).count(command));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(f.startServer(), qPrintable(mpd.errorString()));
        QImage noise(600, 600, QImage::Format_RGB32);  // hundreds of KiB: several chunks
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noise.bits()), 360000);
        QVERIFY(noise.save(f.musicDir() + '/' + BIG + "cover.jpg", "JPEG", 100));
        QFile junk(f.musicDir() + "/Music/Pop/ABBA/Gold/cover.jpg");
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("<html>Not Found</html>") > 0);
        QVERIFY(lastfm.listen());
        QNetworkProxy::setApplicationProxy(
                QNetworkProxy(QNetworkProxy::HttpProxy, mpd.host(), lastfm.port()));
        lastfm.setResponse(CoverFetcher::DEFAULT_SERVICE_URL,
                           {403, "<lfm status='failed'><error code='10'>Invalid</error></lfm>"});
        QVERIFY(f.open() && f.connect() && (fetcher = f.window->findChild<CoverFetcher *>()));
    }
    void init()
    {
        SettingsStore()->setValue(SettingsKey::LyricsUrl, QString());  // its requests would reach lastfm too
        QVERIFY(f.server.resetState() && QDir(CoverFetcher::coverDirectory()).removeRecursively());
    }

    // Songs played in this order; for the last: the cover shown and cached, the commands asking
    // mpd for pictures (-1: not counted), and the requests to Last.fm (which refuses the key).
    void coverForSong_data()
    {
        QTest::addColumn<QStringList>("songs");
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("cover");
        QTest::addColumn<int>("serverRequests");
        QTest::addColumn<int>("lastfmRequests");
        const QStringList signal = {SIGNAL + "1 Signal Fire.flac", SIGNAL + "2 Static.flac"};
        const QStringList bare = {"Misc/No Title.flac", "Misc/No Tags.flac"};
        QTest::addRow("folder file")
                << QStringList{"Music/Rock/Classic/The Stones Of Time/Pebbles/01 Small Stone.flac"}
                << KEY << COVERS + "pebbles.jpg" << 2 << 0;
        QTest::addRow("embedded picture first")
                << signal.mid(1) << KEY << COVERS + "static.jpg" << 1 << 0;
        QTest::addRow("second song of the album: cached")
                << signal << KEY << COVERS + "greatest-hits-signal.jpg" << 0 << 0;
        QTest::addRow("large folder file") << QStringList{BIG + "01 Звезда.flac"} << QString()
                                           << f.musicDir() + '/' + BIG + "cover.jpg" << -1 << 0;
        QTest::addRow("no cover, empty key") << bare << QString() << QString() << 2 << 0;
        QTest::addRow("not an image") << QStringList{"Music/Pop/ABBA/Gold/01 Winter Song.flac"}
                                      << QString() << QString() << 2 << 0;
        // Last: the fetcher keeps the refused key refused for the rows after.
        QTest::addRow("key refused: asked once") << bare << KEY << QString() << 2 << 1;
    }
    void coverForSong()
    {
        QFETCH(QStringList, songs); QFETCH(QString, cover); QFETCH(QString, apiKey);
        QFETCH(int, serverRequests);
        fetcher->setApiKey(apiKey);
        const auto asked = lastfm.requests().size();
        mpd.mpc(QStringList{"add"} + songs);
        int before = 0;
        for (int played = 0; played < songs.size(); ++played) {
            before = serverCoverRequests();
            QSignalSpy fetched(fetcher, &CoverFetcher::finished);
            mpd.mpc({played == 0 ? "play" : "next"});
            QVERIFY(fetched.wait(20000));
        }
        const QPixmap expected(cover.isEmpty() ? ":/unknowncoverimage" : cover);
        QTRY_COMPARE(qgraphicsitem_cast<QGraphicsPixmapItem *>(
                             f.widget<QGraphicsView>("imageCDCover")->scene()->items()[0])
                             ->pixmap().toImage(),
                     expected.scaled(148, 148).toImage());
        const QFileInfoList cached = QDir(CoverFetcher::coverDirectory()).entryInfoList(QDir::Files);
        QCOMPARE(cached.size(), cover.isEmpty() ? 0 : 1);
        QVERIFY(cached.isEmpty() || readFile(cover) == readFile(cached[0].filePath()));
        QTRY_VERIFY(serverRequests < 0 || serverCoverRequests() - before == serverRequests);
        QTEST(int(lastfm.requests().size() - asked), "lastfmRequests");
    }

    // Quitting waits for the cover worker: a server that falls silent in the middle of a picture
    // must not hold it up for the time limit.
    void quitDuringTransferIsPrompt()
    {
        QTcpServer stalling;
        QVERIFY(stalling.listen(QHostAddress::LocalHost));
        QByteArray received;
        connect(&stalling, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *client = stalling.nextPendingConnection();
            client->write("OK MPD 0.23.0\n");
            connect(client, &QTcpSocket::readyRead, client, [&received, client] {
                received += client->readAll();
                client->write(received.contains("readpicture") ? "size: 9999\nbinary: 8192\nx"
                                                               : "OK\n");
            });
        });
        auto worker = std::make_unique<CoverFetcher>();
        worker->setSong("a.flac", mpd.host(), stalling.serverPort(), QString());
        worker->start();
        QTRY_VERIFY(received.contains("readpicture"));
        QElapsedTimer clock;
        clock.start();
        worker.reset();  // as the window's destructor does: abort(), then wait()
        QCOMPARE_LT(clock.elapsed(), ServerCoverSource::TIME_LIMIT_MS / 3);
    }
};

TUNELOOM_TEST_MAIN(TestCovers)
#include "tst_covers.moc"
