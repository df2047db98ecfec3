#include "lastfmanswers.h"
#include "coverfetcher.h"
#include "localhttpserver.h"
#include "mainwindow.h"
#include "md5.h"
#include "modalcloser.h"
#include "mpdfixture.h"
#include "playlistitemdelegate.h"
#include "scrobbler.h"
#include "settingsdialog.h"
#include "settingsstore.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowprobe.h"
#include "windowtesting.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>
#include <optional>

using LastfmAnswers::albumAnswer;
using LastfmAnswers::image;

namespace {

const QByteArray ALBUM_INFO_TARGET
        = "/2.0/?method=album.getinfo&api_key=5f0c2e9a7b1d4c3e8a6f2b0d9e7c1a45&album=";

// Starts with PNG's signature, NUL bytes included: the cover must hold exactly these bytes.
const QByteArray IMAGE_BYTES
        = QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(3000, 'x');

bool finishes(QThread &thread)
{
    return QTest::qWaitFor([&] { return thread.isFinished(); }, 10000);
}

QStringList coverFiles()
{
    return QDir(CoverFetcher::coverDirectory())
            .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QColor iconColor(SettingsDialog &dialog)
{
    const auto *button = dialog.findChild<QPushButton *>(QStringLiteral("btnColor"));
    return button->icon().pixmap(16, 16).toImage().pixelColor(8, 8);
}

}  // namespace

class TestLastfm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void md5Digest_data();
    void md5Digest();
    void calculateHash_data();
    void calculateHash();

    void settingsColorChooser_data();
    void settingsColorChooser();

    void cachedCoverNeedsNoRequest();
    void albumInfoRequest_data();
    void albumInfoRequest();
    void unusableAnswer_data();
    void unusableAnswer();
    void coverStored_data();
    void coverStored();
    void failedImageTransfer_data();
    void failedImageTransfer();
    void abortEndsFetch_data();
    void abortEndsFetch();

    void handshake_data();
    void handshake();
    void handshakeFailure_data();
    void handshakeFailure();
    void serviceNoticeKeepsSubmissionUrl();
    void submitNeedsQueuedSongs();
    void destroyingRunningScrobblerReturnsPromptly();

    // The main window's side: settings, the cover panel, quitting.
    void windowSettingsDialog_data();
    void windowSettingsDialog();
    void windowScrobblingToggleWritesAtOnce();
    void windowDefaults_data();
    void windowDefaults();
    void windowGeometryRoundTrips();
    void windowQuitDeletesCoverFiles_data();
    void windowQuitDeletesCoverFiles();
    void windowFetchesMissingCover();
    void windowKeepsPlaceholderWithoutImage();
    void windowShowFullSize();
    void windowDisconnectAndQuitAbortFetch();

    void cleanup();

private:
    std::optional<bool> fetchCover(const QString &artist, const QString &album,
                                   int timeoutMs = 2000);
    void serveCover();
    MainWindow &openWindow();
    bool connectAndPlay(const QStringList &files);
    int serviceRequests() const;
    template<typename T> T *widget(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    LocalHttpServer server;
    QTemporaryDir musicDir;
    MpdFixture mpd;
    QNetworkProxy originalProxy;
    std::unique_ptr<ModalCloser> closer;
    std::unique_ptr<MainWindow> window;
};

void TestLastfm::initTestCase()
{
    QVERIFY(server.listen());
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(mpd.start(musicDir.path()), qPrintable(mpd.errorString()));
    originalProxy = QNetworkProxy::applicationProxy();
}

void TestLastfm::cleanup()
{
    window.reset();
    closer.reset();
    QNetworkProxy::setApplicationProxy(originalProxy);
}

void TestLastfm::init()
{
    QVERIFY(QDir(QDir::homePath() + QStringLiteral("/.config/tuneloom")).removeRecursively());
    server.reset();
}

std::optional<bool> TestLastfm::fetchCover(const QString &artist, const QString &album,
                                           int timeoutMs)
{
    CoverFetcher fetcher;
    fetcher.setServiceUrl(server.url(QStringLiteral("/2.0/")));
    fetcher.setTimeout(timeoutMs);
    fetcher.setAlbumArtist(artist, album);
    QSignalSpy finished(&fetcher, &CoverFetcher::finished);
    fetcher.start();
    if (!finishes(fetcher) || finished.count() != 1)
        return std::nullopt;
    return finished.first().first().toBool();
}

void TestLastfm::serveCover()
{
    server.setResponse("/cover.jpg", {200, IMAGE_BYTES, "image/png"});
}

void TestLastfm::md5Digest_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("digest");

    const std::pair<QByteArray, QByteArray> rfc1321AndBlockEdges[]
            = {{"", "d41d8cd98f00b204e9800998ecf8427e"},
               {"a", "0cc175b9c0f1b6a831c399e269772661"},
               {"abc", "900150983cd24fb0d6963f7d28e17f72"},
               {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
               {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
               {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                "d174ab98d277d9f5a5611c2c9f419d9f"},
               {QByteArray("1234567890").repeated(8), "57edf4a22be3c955ac49da2e2107b67a"},
               {QByteArray(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
               {QByteArray(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
               {QByteArray(64, 'a'), "014842d480b571495a4a0363793f7367"},
               {QByteArray(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
               {QByteArray(120, 'a'), "5f61c0ccad4cac44c75ff505e1f1e537"}};
    for (const auto &[message, digest] : rfc1321AndBlockEdges)
        QTest::addRow("%d bytes: %s", int(message.size()), message.left(8).constData())
                << message << digest;
}

void TestLastfm::md5Digest()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, digest);

    const auto *data = reinterpret_cast<const unsigned char *>(message.constData());
    for (const int piece : {1, 7, 63, 64, 65, 1000}) {
        md5_state_t state;
        md5_init(&state);
        for (qsizetype at = 0; at < message.size(); at += piece) {
            md5_append(&state, data + at, int(qMin<qsizetype>(piece, message.size() - at)));
            md5_append(&state, data, 0);
            md5_append(&state, data, -1);
        }
        unsigned char result[16];
        md5_finish(&state, result);
        const QByteArray hex = QByteArray(reinterpret_cast<const char *>(result), 16).toHex();
        QVERIFY2(hex == digest,
                 qPrintable(QStringLiteral("pieces of %1: %2")
                                    .arg(piece)
                                    .arg(QString::fromLatin1(hex))));
    }
}

void TestLastfm::calculateHash_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("hash");

    QTest::addRow("empty") << QString() << QString();
    QTest::addRow("ascii") << QStringLiteral("password")
                           << QStringLiteral("5f4dcc3b5aa765d61d8327deb882cf99");
    QTest::addRow("latin-1 bytes")
            << QStringLiteral("pässwörd") << QStringLiteral("2ca67a2dbf3a2f52ef5126a2ae8f8a2f");
    QTest::addRow("ends at NUL") << QString::fromLatin1("abc\0def", 7)
                                 << QStringLiteral("900150983cd24fb0d6963f7d28e17f72");
}

void TestLastfm::calculateHash()
{
    QFETCH(QString, password);
    QFETCH(QString, hash);

    QCOMPARE(SettingsDialog::calculateHash(password), hash);
}

void TestLastfm::settingsColorChooser_data()
{
    QTest::addColumn<bool>("choose");

    QTest::addRow("cancelled") << false;
    QTest::addRow("colour chosen") << true;
}

void TestLastfm::settingsColorChooser()
{
    QFETCH(bool, choose);

    SettingsDialog dialog;
    dialog.setInitialValues(QStringLiteral("alice"), false, QColor(Qt::red));
    const QColor chosen(Qt::green);

    // The chooser runs its own modal loop inside the click: the closer answers it.
    bool answered = false;
    const ModalCloser closer([&](QDialog *dialog) {
        auto *chooser = qobject_cast<QColorDialog *>(dialog);
        answered = chooser != nullptr;
        if (chooser && choose) {
            chooser->setCurrentColor(chosen);
            chooser->accept();
        } else {
            dialog->reject();
        }
    });
    dialog.findChild<QPushButton *>(QStringLiteral("btnColor"))->click();

    QVERIFY(answered);
    const QColor expected = choose ? chosen : QColor(Qt::red);
    QCOMPARE(dialog.getNpCol(), expected);
    QCOMPARE(iconColor(dialog), expected);
}

void TestLastfm::cachedCoverNeedsNoRequest()
{
    const QString path
            = CoverFetcher::coverPath(QStringLiteral("The Band"), QStringLiteral("Live"));
    QVERIFY(QDir().mkpath(CoverFetcher::coverDirectory()));
    QFile cached(path);
    QVERIFY(cached.open(QIODevice::WriteOnly));
    cached.write("cached image");
    cached.close();

    QCOMPARE(fetchCover(QStringLiteral("The Band"), QStringLiteral("Live")), std::optional(true));
    QCOMPARE(server.requests().size(), 0);
    QCOMPARE(readFile(path), QByteArray("cached image"));
}

void TestLastfm::albumInfoRequest_data()
{
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::addColumn<QByteArray>("query");

    QTest::addRow("artist and album") << QStringLiteral("The Band") << QStringLiteral("AC/DC Live")
                                      << QByteArray("AC%2FDC%20Live&artist=The%20Band");
    QTest::addRow("no artist") << QString() << QStringLiteral("Untitled") << QByteArray("Untitled");
    QTest::addRow("reserved characters")
            << QStringLiteral("Tom & Jerry") << QStringLiteral("100% Rock+Roll?#=")
            << QByteArray("100%25%20Rock%2BRoll%3F%23%3D&artist=Tom%20%26%20Jerry");
    QTest::addRow("non-ASCII") << QStringLiteral("Björk") << QStringLiteral("Homogénic")
                               << QByteArray("Homog%C3%A9nic&artist=Bj%C3%B6rk");
}

void TestLastfm::albumInfoRequest()
{
    QFETCH(QString, artist);
    QFETCH(QString, album);
    QFETCH(QByteArray, query);

    QCOMPARE(fetchCover(artist, album), std::optional(false));  // the server answers 404
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first().method, QByteArray("GET"));
    QCOMPARE(server.requests().first().target, ALBUM_INFO_TARGET + query);
    QVERIFY(coverFiles().isEmpty());
}

void TestLastfm::unusableAnswer_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("answer");

    // Every answer names a cover the server would deliver: only a correct reading skips it.
    const QByteArray cover = server.url(QStringLiteral("/cover.jpg")).toEncoded();
    const QByteArray good = albumAnswer(image("extralarge", cover));

    QTest::addRow("no album element")
            << 200 << QByteArray("<lfm status=\"failed\">" + image("extralarge", cover) + "</lfm>");
    QTest::addRow("no extralarge image")
            << 200
            << albumAnswer(image("small", cover) + image("large", cover) + image("mega", cover));
    QTest::addRow("last extralarge image empty")
            << 200 << albumAnswer(image("extralarge", cover) + image("extralarge", ""));
    QTest::addRow("not XML") << 200 << QByteArray("Service temporarily unavailable\n");
    QTest::addRow("empty answer") << 200 << QByteArray();
    QTest::addRow("cut-off XML") << 200 << good.left(good.indexOf("</album>"));
    QTest::addRow("server error") << 500 << good;
    QTest::addRow("oversized answer")
            << 200
            << QByteArray(good).replace("<name>", QByteArray(5 * 1024 * 1024, ' ') + "<name>");
    QTest::addRow("deeply nested")
            << 200
            << albumAnswer(QByteArray("<n>").repeated(200000) + image("extralarge", cover)
                           + QByteArray("</n>").repeated(200000));

    QFile local(QDir::homePath() + QStringLiteral("/local.jpg"));
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write(IMAGE_BYTES);
    QTest::addRow("file address")
            << 200
            << albumAnswer(image("extralarge", QUrl::fromLocalFile(local.fileName()).toEncoded()));
    QTest::addRow("ftp address") << 200
                                 << albumAnswer(image("extralarge",
                                                      QByteArray(cover).replace("http:", "ftp:")));
}

void TestLastfm::unusableAnswer()
{
    QFETCH(int, status);
    QFETCH(QByteArray, answer);
    server.setResponse("/2.0/", {status, answer});
    serveCover();

    QCOMPARE(fetchCover(QStringLiteral("Artist"), QStringLiteral("Album")), std::optional(false));
    QCOMPARE(server.requests().size(), 1);
    QVERIFY(coverFiles().isEmpty());
}

void TestLastfm::coverStored_data()
{
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("fileName");

    QTest::addRow("spaces and slashes")
            << QStringLiteral("The Band") << QStringLiteral("AC/DC Live")
            << QStringLiteral("TheBand_ACDCLive.jpg");
    QTest::addRow("backslash, tab stays")
            << QStringLiteral("Back\\slash") << QStringLiteral("Tab\tStays")
            << QStringLiteral("Backslash_Tab\tStays.jpg");
    QTest::addRow("no artist") << QString() << QStringLiteral("Un Titled")
                               << QStringLiteral("_UnTitled.jpg");
    QTest::addRow("dot names") << QStringLiteral("..") << QStringLiteral("/../..")
                               << QStringLiteral(".._.....jpg");
    QTest::addRow("NUL") << QString::fromLatin1("Nul\0Byte", 8) << QStringLiteral("A")
                         << QStringLiteral("NulByte_A.jpg");
    QTest::addRow("very long album")
            << QStringLiteral("Artist") << QStringLiteral("é").repeated(300) << QString();
}

void TestLastfm::coverStored()
{
    QFETCH(QString, artist);
    QFETCH(QString, album);
    QFETCH(QString, fileName);
    const QByteArray answer = albumAnswer(
            image("small", server.url(QStringLiteral("/small.jpg")).toEncoded())
            + image("extralarge", server.url(QStringLiteral("/first.jpg")).toEncoded())
            + image("extralarge",
                    "\n  " + server.url(QStringLiteral("/cover.jpg")).toEncoded() + "\n")
            + image("mega", server.url(QStringLiteral("/mega.jpg")).toEncoded()));
    server.setResponse("/2.0/", {200, answer});
    serveCover();

    QCOMPARE(fetchCover(artist, album), std::optional(true));
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().at(1).target, QByteArray("/cover.jpg"));

    const QStringList files = coverFiles();
    QCOMPARE(files.size(), 1);
    if (fileName.isEmpty()) {
        QVERIFY(QFile::encodeName(files.first()).size() <= 255);
        QVERIFY(files.first().startsWith(QStringLiteral("Artist_éé")));
        QVERIFY(files.first().endsWith(QStringLiteral(".jpg")));
        QVERIFY(CoverFetcher::coverPath(artist, album)
                != CoverFetcher::coverPath(artist, album + "x"));
    } else {
        QCOMPARE(files.first(), fileName);
    }
    QCOMPARE(CoverFetcher::coverPath(artist, album),
             CoverFetcher::coverDirectory() + files.first());
    QCOMPARE(readFile(CoverFetcher::coverDirectory() + files.first()), IMAGE_BYTES);
    QCOMPARE(readFile(CoverFetcher::answerPath()), answer);

    const QFileInfo configDirectory(QDir::homePath() + QStringLiteral("/.config/tuneloom"));
    QCOMPARE(configDirectory.permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
}

void TestLastfm::failedImageTransfer_data()
{
    QTest::addColumn<LocalHttpServer::Response>("imageResponse");

    QTest::addRow("not found") << LocalHttpServer::Response{404, "missing", "text/plain"};
    QTest::addRow("empty body") << LocalHttpServer::Response{200, "", "image/jpeg"};
    QTest::addRow("cut transfer") << LocalHttpServer::Response{200, IMAGE_BYTES, "image/png", false,
                                                               100000};
    QTest::addRow("no answer") << LocalHttpServer::Response{200, "", "image/png", true};
}

void TestLastfm::failedImageTransfer()
{
    QFETCH(LocalHttpServer::Response, imageResponse);
    server.setResponse("/2.0/",
                       {200,
                        albumAnswer(image("extralarge",
                                          server.url(QStringLiteral("/cover.jpg")).toEncoded()))});
    server.setResponse("/cover.jpg", imageResponse);

    QCOMPARE(fetchCover(QStringLiteral("A"), QStringLiteral("B"), 500), std::optional(false));
    QVERIFY(coverFiles().isEmpty());

    // Nothing was cached, so the next play of the album tries again.
    serveCover();
    QCOMPARE(fetchCover(QStringLiteral("A"), QStringLiteral("B"), 500), std::optional(true));
    QCOMPARE(readFile(CoverFetcher::coverPath(QStringLiteral("A"), QStringLiteral("B"))),
             IMAGE_BYTES);
}

void TestLastfm::abortEndsFetch_data()
{
    QTest::addColumn<bool>("whileWaiting");

    QTest::addRow("while waiting for the answer") << true;
    QTest::addRow("before the thread runs") << false;
}

void TestLastfm::abortEndsFetch()
{
    QFETCH(bool, whileWaiting);
    server.setResponse("/2.0/", {200, "", "text/xml", true});

    CoverFetcher fetcher;  // the real time limit: only abort() can end it in time
    fetcher.setServiceUrl(server.url(QStringLiteral("/2.0/")));
    fetcher.setAlbumArtist(QStringLiteral("A"), QStringLiteral("B"));
    QSignalSpy finished(&fetcher, &CoverFetcher::finished);
    if (!whileWaiting)
        fetcher.abort();
    fetcher.start();
    if (whileWaiting) {
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 5000);
        fetcher.abort();
    }

    QVERIFY(fetcher.wait(2000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(coverFiles().isEmpty());
}

void TestLastfm::handshake_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("interval");

    const QString url = QStringLiteral("http://post.example/submit");
    QTest::addRow("up to date") << QByteArray(
            "UPTODATE\nd41d8cd98f00b204\nhttp://post.example/submit\nINTERVAL 1\n")
                                << 2 << url << 1;
    QTest::addRow("CR/LF and blanks") << QByteArray(
            "  UPTODATE \r\nchallenge\r\n\t http://post.example/submit \r\n INTERVAL 1 \r\n")
                                      << 2 << url << 1;
    QTest::addRow("several digits")
            << QByteArray("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 1800") << 2 << url
            << 1800;
    QTest::addRow("10,000 lines")
            << QByteArray("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 5\n")
                    + QByteArray("junk\n").repeated(10000)
            << 2 << url << 5;
    QTest::addRow("fewer than four lines")
            << QByteArray("UPTODATE\nchallenge\nhttp://post.example/submit") << 0 << QString() << 0;
    QTest::addRow("interval without number")
            << QByteArray("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL\n") << 0 << url << 0;
    QTest::addRow("NUL ends the text")
            << QByteArray("UPTODATE\nc") + '\0' + "\nhttp://post.example/submit\nINTERVAL 1\n"
            << 0 << QString() << 0;
    QTest::addRow("one line") << QByteArray("UPTODATE") << 0 << QString() << 0;
    QTest::addRow("service notice") << QByteArray("BADUSER\n") << 2 << QString() << 0;
    QTest::addRow("empty answer") << QByteArray() << 2 << QString() << 0;
    QTest::addRow("binary answer") << IMAGE_BYTES << 2 << QString() << 0;
}

void TestLastfm::handshake()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, state);
    QFETCH(QString, url);
    QFETCH(int, interval);
    server.setResponse("/", {200, answer, "text/plain"});

    Scrobbler scrobbler;
    scrobbler.setHandshakeUrl(server.url(QStringLiteral("/")));
    scrobbler.setUser(QStringLiteral("Jürgen & Co"), SettingsDialog::calculateHash("secret"));
    scrobbler.start();
    QVERIFY(finishes(scrobbler));

    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first().target,
             QByteArray("/?hs=true&p=1.1&c=rur&v=VERSION&u=J%C3%BCrgen%20%26%20Co"));
    QCOMPARE(scrobbler.state(), state);
    QCOMPARE(scrobbler.submissionUrl(), url);
    QCOMPARE(scrobbler.interval(), interval);
}

void TestLastfm::handshakeFailure_data()
{
    QTest::addColumn<LocalHttpServer::Response>("response");
    QTest::addColumn<bool>("closedPort");

    QTest::addRow("closed port") << LocalHttpServer::Response{} << true;
    QTest::addRow("HTTP error")
            << LocalHttpServer::Response{500, "UPTODATE\nc\nhttp://x/s\nINTERVAL 1\n"} << false;
    QTest::addRow("no answer") << LocalHttpServer::Response{200, "", "text/plain", true} << false;
    QTest::addRow("oversized answer")
            << LocalHttpServer::Response{200,
                                         "UPTODATE\nc\nhttp://x/s\nINTERVAL 1\n"
                                                 + QByteArray(100 * 1024, '\n')}
            << false;
}

void TestLastfm::handshakeFailure()
{
    QFETCH(LocalHttpServer::Response, response);
    QFETCH(bool, closedPort);
    server.setResponse("/", response);
    QUrl url = server.url(QStringLiteral("/"));
    if (closedPort) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        url.setPort(closed.serverPort());
    }

    Scrobbler scrobbler;
    scrobbler.setHandshakeUrl(url);
    scrobbler.setTimeout(500);
    scrobbler.start();
    QVERIFY(finishes(scrobbler));

    QCOMPARE(scrobbler.state(), int(Scrobbler::NoSession));
    QCOMPARE(scrobbler.submissionUrl(), QString());
}

void TestLastfm::serviceNoticeKeepsSubmissionUrl()
{
    Scrobbler scrobbler;
    scrobbler.setHandshakeUrl(server.url(QStringLiteral("/")));
    server.setResponse("/", {200, "UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 1\n"});
    scrobbler.start();
    QVERIFY(finishes(scrobbler));
    server.setResponse("/", {200, "FAILED Plugin bug: Not all request variables are set\n"});
    scrobbler.start();
    QVERIFY(finishes(scrobbler));

    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(scrobbler.state(), int(Scrobbler::HandshakeDone));
    QCOMPARE(scrobbler.submissionUrl(), QStringLiteral("http://post.example/submit"));
    QCOMPARE(scrobbler.interval(), 1);
}

void TestLastfm::submitNeedsQueuedSongs()
{
    Scrobbler scrobbler;
    scrobbler.submit();
    QCOMPARE(scrobbler.state(), int(Scrobbler::NoSession));

    scrobbler.enqueueSong(QmpdSong(1, 200, QStringLiteral("Artist"), QStringLiteral("Title"),
                                   QStringLiteral("1"), QStringLiteral("a/b.flac"),
                                   QStringLiteral("2001"), QStringLiteral("Album")));
    scrobbler.submit();
    QCOMPARE(scrobbler.state(), int(Scrobbler::SubmitPending));
    QCOMPARE(scrobbler.queueSize(), 1);
}

void TestLastfm::destroyingRunningScrobblerReturnsPromptly()
{
    server.setResponse("/", {200, "", "text/plain", true});
    auto scrobbler = std::make_unique<Scrobbler>();  // the real time limit
    scrobbler->setHandshakeUrl(server.url(QStringLiteral("/")));
    scrobbler->start();
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 5000);

    QElapsedTimer clock;
    clock.start();
    scrobbler.reset();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

// The window's covers go to the real service address: an application proxy routes them to the
// local server, whose requests then carry absolute targets.
namespace {

const QByteArray SERVICE = CoverFetcher::DEFAULT_SERVICE_URL;
const QString ROOT_SONG = QStringLiteral("Root Song.flac");
const QString FIRST_STONE
        = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Granite/01 First Stone.flac");

QString rootSongCover()
{
    return CoverFetcher::coverPath(QStringLiteral("Solo Artist"), QStringLiteral("Lone Album"));
}

QImage placeholder()
{
    return WindowProbe::asShown(QStringLiteral(":/unknowncoverimage"));
}

QVariant storedValue(const char *key)
{
    SettingsStore settings;
    return settings->value(QLatin1String(key));
}

void storeAccount(const QString &user, const QString &hash)
{
    SettingsStore settings;
    settings->setValue(SettingsKey::LastfmUser, user);
    settings->setValue(SettingsKey::LastfmHash, hash);
}

}  // namespace

MainWindow &TestLastfm::openWindow()
{
    QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), server.port()));
    window.reset();
    if (!closer)
        closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
    return *window;
}

bool TestLastfm::connectAndPlay(const QStringList &files)
{
    if (!mpd.resetState() || !WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port(), QString()))
        return false;
    for (const QString &file : files)
        mpd.mpc({QStringLiteral("add"), file});
    mpd.mpc({QStringLiteral("play")});
    return QTest::qWaitFor(
            [this] {
                return widget<QLabel>("lblArtistSong")->text()
                        == QStringLiteral("Solo Artist - Root Song");
            },
            5000);
}

int TestLastfm::serviceRequests() const
{
    int count = 0;
    for (const LocalHttpServer::Request &request : server.requests())
        count += request.path == SERVICE;
    return count;
}

void TestLastfm::windowSettingsDialog_data()
{
    QTest::addColumn<QString>("typedUser");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("deleteArt");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("hash");

    const QString oldHash = SettingsDialog::calculateHash(QStringLiteral("old"));
    QTest::addRow("user only keeps the account") << "bob"
                                                 << "" << true << "alice" << oldHash;
    QTest::addRow("user and password") << "bob"
                                       << "secret" << false << "bob"
                                       << "5ebe2294ecd0e0f08eab7690d2a6ee69";
    QTest::addRow("both cleared") << ""
                                  << "" << false << ""
                                  << "";
    QTest::addRow("password without user") << ""
                                           << "secret" << false << ""
                                           << "";
}

void TestLastfm::windowSettingsDialog()
{
    QFETCH(QString, typedUser);
    QFETCH(QString, typedPassword);
    QFETCH(bool, deleteArt);
    QFETCH(QString, user);
    QFETCH(QString, hash);
    storeAccount(QStringLiteral("alice"), SettingsDialog::calculateHash(QStringLiteral("old")));

    QStringList shown;
    closer = std::make_unique<ModalCloser>([&](QDialog *dialog) {
        auto *lineUser = dialog->findChild<QLineEdit *>(QStringLiteral("lineLFMUser"));
        auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("lineLFMPasswd"));
        const auto *trayNote = dialog->findChild<QCheckBox *>(QStringLiteral("checkTraynote"));
        shown = {lineUser->text(), password->text(),
                 QString::number(password->echoMode() == QLineEdit::Password),
                 QString::number(trayNote->isVisible()),
                 iconColor(*qobject_cast<SettingsDialog *>(dialog)).name(QColor::HexArgb)};
        lineUser->setText(typedUser);
        password->setText(typedPassword);
        dialog->findChild<QCheckBox *>(QStringLiteral("checkDelArt"))->setChecked(deleteArt);
        dialog->accept();
    });
    MainWindow &w = openWindow();
    QVERIFY(widget<QAction>("actionEnable_scrobbling")->isEnabled());
    widget<QAction>("action_Settings")->trigger();

    QCOMPARE(closer->texts, QStringList({QStringLiteral("Settings")}));
    const QString npColor = PlaylistItemDelegate().getNpColor().name(QColor::HexArgb);
    QCOMPARE(shown, QStringList({"alice", "", "1", "0", npColor}));
    QCOMPARE(storedValue(SettingsKey::LastfmUser).toString(), user);
    QCOMPARE(storedValue(SettingsKey::LastfmHash).toString(), hash);
    QCOMPARE(storedValue(SettingsKey::DeleteAlbumArt).toBool(), deleteArt);
    QCOMPARE(storedValue(SettingsKey::NpColor).value<QColor>(),
             w.findChild<PlaylistItemDelegate *>()->getNpColor());
    QCOMPARE(widget<QAction>("actionEnable_scrobbling")->isEnabled(), !user.isEmpty());
}

void TestLastfm::windowScrobblingToggleWritesAtOnce()
{
    storeAccount(QStringLiteral("alice"), SettingsDialog::calculateHash(QStringLiteral("pw")));
    openWindow();
    auto *enable = widget<QAction>("actionEnable_scrobbling");
    QVERIFY(enable->isEnabled());
    QVERIFY(!enable->isChecked());
    enable->trigger();
    QCOMPARE(storedValue(SettingsKey::LastfmEnable).toBool(), true);

    openWindow();
    enable = widget<QAction>("actionEnable_scrobbling");
    QVERIFY(enable->isChecked());
    enable->trigger();
    QCOMPARE(storedValue(SettingsKey::LastfmEnable).toBool(), false);
}

void TestLastfm::windowDefaults_data()
{
    QTest::addColumn<QByteArray>("ini");  // empty: no settings file yet

    QTest::addRow("first start") << QByteArray();
    QTest::addRow("colour as text") << QByteArray("[general]\nnp_color=not a colour\n");
    QTest::addRow("colour as a point") << QByteArray("[general]\nnp_color=@Point(1 2)\n");
    QTest::addRow("broken variant")
            << QByteArray("[general]\nnp_color=\"@Variant(\\0\\0\\0\\x43\\x1\\xff)\"\n");
    QTest::addRow("booleans") << QByteArray(
            "[general]\ndelete_albumart=perhaps\n[lastfm]\nenable=maybe\n"
            "[app]\nmaximized=banana\nhidden=sometimes\n");
    QTest::addRow("geometry") << QByteArray("[app]\nposition=somewhere\nsize=@Size(-5 -5)\n");
    QTest::addRow("not ini at all") << QByteArray("\x01\x02garbage\n[[[\n=\n\xff\xfe");
}

void TestLastfm::windowDefaults()
{
    QFETCH(QByteArray, ini);
    if (!ini.isEmpty())
        QVERIFY(WindowProbe::writeSettingsFile(ini));

    MainWindow &w = openWindow();
    auto *enable = widget<QAction>("actionEnable_scrobbling");
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMaximized());
    QVERIFY(!enable->isChecked());
    QVERIFY(!enable->isEnabled());
    QCOMPARE(w.findChild<PlaylistItemDelegate *>()->getNpColor(),
             PlaylistItemDelegate().getNpColor());
    QCOMPARE(w.pos(), QPoint(0, 0));
    QCOMPARE(w.size(), QSize(800, 550));
    QVERIFY(WindowProbe::writeCover(rootSongCover(), 50, 50));

    window.reset();
    QVERIFY(QFile::exists(rootSongCover()));
    QCOMPARE(storedValue(SettingsKey::AppSize).toSize(), QSize(800, 550));
    QVERIFY(!storedValue(SettingsKey::LastfmUser).isValid());
}

void TestLastfm::windowGeometryRoundTrips()
{
    MainWindow &w = openWindow();
    w.move(41, 27);
    w.resize(913, 621);
    QTRY_COMPARE_WITH_TIMEOUT(w.pos(), QPoint(41, 27), 2000);

    MainWindow &again = openWindow();
    QCOMPARE(again.pos(), QPoint(41, 27));
    QCOMPARE(again.size(), QSize(913, 621));
    QCOMPARE(storedValue(SettingsKey::AppMaximized).toBool(), false);
}

void TestLastfm::windowQuitDeletesCoverFiles_data()
{
    QTest::addColumn<bool>("deleteOnExit");

    QTest::addRow("delete on exit") << true;
    QTest::addRow("keep") << false;
}

void TestLastfm::windowQuitDeletesCoverFiles()
{
    QFETCH(bool, deleteOnExit);
    {
        SettingsStore settings;
        settings->setValue(SettingsKey::DeleteAlbumArt, deleteOnExit);
    }
    const QString dir = CoverFetcher::coverDirectory();
    const QStringList plain = {dir + "A_B.jpg", dir + "C_D.jpg"};
    const QStringList kept = {dir + ".hidden.jpg", dir + "sub/E_F.jpg", CoverFetcher::answerPath()};
    for (const QString &path : plain + kept)
        QVERIFY(WindowProbe::writeFile(path, "image"));

    openWindow();
    window.reset();

    QVERIFY(QDir(dir).exists());
    for (const QString &path : plain)
        QCOMPARE(QFile::exists(path), !deleteOnExit);
    for (const QString &path : kept)
        QVERIFY2(QFile::exists(path), qPrintable(path));
}

void TestLastfm::windowFetchesMissingCover()
{
    QVERIFY(WindowProbe::writeCover(musicDir.filePath("served.jpg"), 100, 120));
    server.setResponse(SERVICE,
                       {200, albumAnswer(image("extralarge", "http://img.example/c.jpg"))});
    server.setResponse("http://img.example/c.jpg",
                       {200, readFile(musicDir.filePath("served.jpg")), "image/jpeg"});
    openWindow();
    QVERIFY(connectAndPlay({ROOT_SONG}));

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(rootSongCover()), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(WindowProbe::shownCover(window.get())
                                     == WindowProbe::asShown(musicDir.filePath("served.jpg")),
                             3000);
    QCOMPARE(serviceRequests(), 1);
    QVERIFY(server.requests().first().target.endsWith("album=Lone%20Album&artist=Solo%20Artist"));
}

void TestLastfm::windowKeepsPlaceholderWithoutImage()
{
    server.setResponse(SERVICE, {200, albumAnswer(image("small", "http://img.example/s.jpg"))});
    openWindow();
    QVERIFY(connectAndPlay({ROOT_SONG, FIRST_STONE}));
    QTRY_COMPARE_WITH_TIMEOUT(serviceRequests(), 1, 5000);

    // The next song is only asked for once the first fetch has ended.
    mpd.mpc({QStringLiteral("next")});
    QTRY_COMPARE_WITH_TIMEOUT(serviceRequests(), 2, 5000);
    QVERIFY(server.requests().last().target.endsWith(
            "album=Granite&artist=The%20Stones%20Of%20Time"));
    QVERIFY(!QFile::exists(rootSongCover()));
    QCOMPARE(WindowProbe::shownCover(window.get()), placeholder());
    QCOMPARE(server.requests().size(), 2);
}

void TestLastfm::windowShowFullSize()
{
    QImage fullSize;
    closer = std::make_unique<ModalCloser>([&](QDialog *dialog) {
        const auto *view = dialog->findChild<QGraphicsView *>();
        const QList<QGraphicsItem *> items = view->scene()->items();
        if (items.size() == 1)
            fullSize = WindowProbe::rgb(
                    qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first())->pixmap().toImage());
        dialog->reject();
    });
    openWindow();
    const QList<QAction *> coverActions = widget<QGraphicsView>("imageCDCover")->actions();
    QCOMPARE(coverActions.size(), 1);
    QCOMPARE(coverActions.first()->text(), QStringLiteral("Show fullsize"));
    QCOMPARE(widget<QGraphicsView>("imageCDCover")->contextMenuPolicy(), Qt::ActionsContextMenu);

    coverActions.first()->trigger();  // no song yet: nothing to show
    QVERIFY(closer->texts.isEmpty());

    QVERIFY(WindowProbe::writeCover(rootSongCover(), 320, 200));
    QVERIFY(connectAndPlay({ROOT_SONG}));
    const QImage shown = WindowProbe::asShown(rootSongCover());
    QCOMPARE(shown.size(), QSize(148, 148));
    QVERIFY(shown != placeholder());
    QTRY_VERIFY_WITH_TIMEOUT(WindowProbe::shownCover(window.get()) == shown, 3000);
    QCOMPARE(server.requests().size(), 0);  // the cached cover needs no request
    coverActions.first()->trigger();

    QCOMPARE(closer->texts, QStringList({QStringLiteral("Solo Artist - Lone Album")}));
    QCOMPARE(fullSize.size(), QSize(320, 200));
    QCOMPARE(fullSize, WindowProbe::rgb(QImage(rootSongCover())));
}

void TestLastfm::windowDisconnectAndQuitAbortFetch()
{
    server.setResponse(SERVICE, {200, "", "text/xml", true});
    openWindow();
    QVERIFY(connectAndPlay({ROOT_SONG, FIRST_STONE}));
    QTRY_COMPARE_WITH_TIMEOUT(serviceRequests(), 1, 5000);

    widget<QAction>("actionDisconnect")->trigger();
    // The aborted fetch reports at once (the time limit is 15 s), replacing this scene.
    const QPointer<QGraphicsScene> afterDisconnect = widget<QGraphicsView>("imageCDCover")->scene();
    QTRY_VERIFY_WITH_TIMEOUT(afterDisconnect.isNull(), 3000);
    QCOMPARE(WindowProbe::shownCover(window.get()), placeholder());

    QVERIFY(WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port(), QString()));
    mpd.mpc({QStringLiteral("next")});
    QTRY_COMPARE_WITH_TIMEOUT(serviceRequests(), 2, 5000);

    // Quitting while this fetch hangs must not wait for its time limit.
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

TUNELOOM_TEST_MAIN(TestLastfm)
#include "tst_lastfm.moc"
