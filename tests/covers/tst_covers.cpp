// Covers of the now-playing panel from a real mpd serving the standard library (cover files in
// some folders, pictures in some songs), with a local HTTP server standing in for Last.fm.
#include "coverfetcher.h"
#include "localhttpserver.h"
#include "mainwindow.h"
#include "mpdfixture.h"
#include "servercoversource.h"
#include "testlibrary.h"
#include "testmain.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

const QString COVERS = QStringLiteral(TUNELOOM_SOURCE_DIR "/scripts/library-covers/");
const QString SIGNAL = QStringLiteral("Music/Rock/Modern/Bright Signal/Greatest Hits/0");
const QString BIG = QStringLiteral("Music/World/Кино/Группа крови/");
const QString KEY = QString::fromLatin1(CoverFetcher::DEFAULT_API_KEY);

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestCovers : public QObject
{
    Q_OBJECT

    QTemporaryDir musicDir;
    MpdFixture mpd{{{}, {}, 0, {}, true, QStringLiteral("verbose")}};  // every command in the log
    LocalHttpServer lastfm;
    std::unique_ptr<MainWindow> window;
    CoverFetcher *fetcher = nullptr;

    // Runs mpc with a command that changes the song; true once the cover fetch it starts ended.
    bool fetchAfter(const char *command)
    {
        QSignalSpy fetched(fetcher, &CoverFetcher::finished);
        mpd.mpc({QLatin1String(command)});
        return fetched.wait(20000);
    }
    int serverCoverRequests() const
    {
        static const QRegularExpression command("process command \"(readpicture|albumart) ");
        return int(QString::fromUtf8(readFile(mpd.logFile())).count(command));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestLibrary::generate(musicDir.path()));
        QImage noise(600, 600, QImage::Format_RGB32);  // hundreds of KiB: several chunks
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noise.bits()), 360000);
        QVERIFY(noise.save(musicDir.filePath(BIG + "cover.jpg"), "JPEG", 100));
        QFile junk(musicDir.filePath(QStringLiteral("Music/Pop/ABBA/Gold/cover.jpg")));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("<html>Not Found</html>") > 0);
        QVERIFY2(mpd.start(musicDir.path()), qPrintable(mpd.errorString()));
        QVERIFY(lastfm.listen());
        QNetworkProxy::setApplicationProxy(
                QNetworkProxy(QNetworkProxy::HttpProxy, mpd.host(), lastfm.port()));
        window = std::make_unique<MainWindow>();
        fetcher = window->findChild<CoverFetcher *>();
        QVERIFY(fetcher && window->connectMPD(mpd.host(), mpd.port(), QString()));
    }
    void init()
    {
        QVERIFY(mpd.resetState() && QDir(CoverFetcher::coverDirectory()).removeRecursively());
        lastfm.reset();
    }

    void coverForSong_data()
    {
        QTest::addColumn<QStringList>("songs");  // played in this order
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("cover");       // shown and cached for the last song
        QTest::addColumn<int>("serverRequests");  // for the last song; -1: not counted
        QTest::addColumn<int>("lastfmRequests");
        QTest::addColumn<QByteArray>("lastfmAnswer");  // sent with status 403
        const QString pebbles = "Music/Rock/Classic/The Stones Of Time/Pebbles/01 Small Stone.flac";
        const QString gold = "Music/Pop/ABBA/Gold/01 Winter Song.flac";
        const QStringList signal = {SIGNAL + "1 Signal Fire.flac", SIGNAL + "2 Static.flac"};
        const QStringList bare = {"Misc/No Title.flac", "Misc/No Tags.flac"};
        const QByteArray none;
        QTest::addRow("folder file")
                << QStringList{pebbles} << KEY << COVERS + "pebbles.jpg" << 2 << 0 << none;
        QTest::addRow("embedded picture first")
                << signal.mid(1) << KEY << COVERS + "static.jpg" << 1 << 0 << none;
        QTest::addRow("second song of the album: cached")
                << signal << KEY << COVERS + "greatest-hits-signal.jpg" << 0 << 0 << none;
        QTest::addRow("large folder file")
                << QStringList{BIG + "01 Звезда.flac"} << QString()
                << musicDir.filePath(BIG + "cover.jpg") << -1 << 0 << none;
        QTest::addRow("no cover, empty key") << bare << QString() << QString() << 2 << 0 << none;
        QTest::addRow("not an image")
                << QStringList{gold} << QString() << QString() << 2 << 0 << none;
        // Last: the fetcher keeps the refused key refused for the rows after.
        QTest::addRow("key refused: asked once")
                << bare << KEY << QString() << 2 << 1
                << QByteArray("<lfm status='failed'><error code='10'>Invalid</error></lfm>");
    }
    void coverForSong()
    {
        QFETCH(QStringList, songs);
        QFETCH(QString, apiKey);
        QFETCH(QString, cover);
        QFETCH(int, serverRequests);
        QFETCH(QByteArray, lastfmAnswer);
        fetcher->setApiKey(apiKey);
        lastfm.setResponse(CoverFetcher::DEFAULT_SERVICE_URL, {403, lastfmAnswer});
        mpd.mpc(QStringList{QStringLiteral("add")} + songs);
        int before = 0;
        for (int played = 0; played < songs.size(); ++played) {
            before = serverCoverRequests();
            QVERIFY(fetchAfter(played == 0 ? "play" : "next"));
        }
        const QPixmap shown(cover.isEmpty() ? QStringLiteral(":/unknowncoverimage") : cover);
        const auto *view = window->findChild<QGraphicsView *>(QStringLiteral("imageCDCover"));
        QTRY_COMPARE(qgraphicsitem_cast<QGraphicsPixmapItem *>(view->scene()->items()[0])
                             ->pixmap()
                             .toImage(),
                     shown.scaled(148, 148).toImage());
        const QStringList cached = QDir(CoverFetcher::coverDirectory()).entryList(QDir::Files);
        QCOMPARE(cached.size(), cover.isEmpty() ? 0 : 1);
        QVERIFY(cached.isEmpty()
                || readFile(cover) == readFile(CoverFetcher::coverDirectory() + cached[0]));
        QTRY_VERIFY(serverRequests < 0 || serverCoverRequests() - before == serverRequests);
        QTEST(int(lastfm.requests().size()), "lastfmRequests");
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
        worker->setSong(QStringLiteral("a.flac"), mpd.host(), stalling.serverPort(), QString());
        worker->start();
        QTRY_VERIFY(received.contains("readpicture"));
        QElapsedTimer clock;
        clock.start();
        worker.reset();  // as the window's destructor does: abort(), then wait()
        QVERIFY2(clock.elapsed() < ServerCoverSource::TIME_LIMIT_MS / 3,
                 qPrintable(QString::number(clock.elapsed())));
    }
};

TUNELOOM_TEST_MAIN(TestCovers)
#include "tst_covers.moc"
