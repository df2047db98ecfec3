// Last.fm: the MD5 digest, the cover fetcher and the scrobbler's handshake against a local HTTP
// server with good and hostile answers, and the window's settings and cover panel.
#include "coverfetcher.h"
#include "localhttpserver.h"
#include "md5.h"
#include "playlistitemdelegate.h"
#include "scrobbler.h"
#include "settingsdialog.h"
#include "settingsstore.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QDirIterator>
#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>

using Response = LocalHttpServer::Response;

namespace {

// A small, complete PNG (NUL bytes included): covers are kept only when they are whole images.
const QByteArray imageBytes = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAQAAAADCAIAAAA7ljmRAAAAD0lEQVR4nGNg6O5GIJwcAPe/DQkG+lMxAAAAAElFTkSuQmCC");
const QByteArray service = CoverFetcher::DEFAULT_SERVICE_URL;
const QString rootSong = "Root Song.flac";

QByteArray album(const QByteArray &content)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<lfm status=\"ok\">\n<album>\n<name>A</name>\n"
            + content + "</album>\n</lfm>\n";
}

QByteArray image(const QByteArray &size, const QByteArray &address)
{
    return "<image size=\"" + size + "\">" + address + "</image>\n";
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList homeFiles()
{
    QStringList files;
    for (QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    files.sort();
    return files;
}

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// An image file as the cover view shows it.
QImage asShown(const QString &path)
{
    return rgb(QPixmap(path).scaled(148, 148, Qt::IgnoreAspectRatio, Qt::FastTransformation).toImage());
}

QImage shownCover(const WindowFixture &f)
{
    const QGraphicsScene *scene = f.widget<QGraphicsView>("imageCDCover")->scene();
    const auto items = scene ? scene->items() : QList<QGraphicsItem *>();
    const auto *item = items.size() == 1 ? qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first()) : nullptr;
    return item ? rgb(item->pixmap().toImage()) : QImage();
}

QString rootSongCover()
{
    return CoverFetcher::coverPath("Solo Artist", "Lone Album");
}

QVariant stored(const char *key)
{
    return SettingsStore()->value(key);
}

}  // namespace

class TestLastfm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(http.listen());
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
    }

    void init()
    {
        QVERIFY(WindowFixture::resetHome());
        http.reset();
        // The window's covers go to the real service address: this routes them to the local server.
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", http.port()));
    }

    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }


    void md5Digest_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("digest");
        const std::pair<QByteArray, QByteArray> vectors[] = {{"", "d41d8cd98f00b204e9800998ecf8427e"},
                {"abc", "900150983cd24fb0d6963f7d28e17f72"}, {QByteArray("1234567890").repeated(8), "57edf4a22be3c955ac49da2e2107b67a"},
                {QByteArray(55, 'a'), "ef1772b6dff9a122358552954ad0df65"}, {QByteArray(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
                {QByteArray(64, 'a'), "014842d480b571495a4a0363793f7367"}, {"pässwörd", "2ca67a2dbf3a2f52ef5126a2ae8f8a2f"}};
        for (const auto &[message, digest] : vectors)
            QTest::addRow("%d bytes: %s", int(message.size()), message.left(8).constData()) << message << digest;
    }

    void md5Digest()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, digest);
        const QString password = QString::fromUtf8(message);
        if (message.contains("\xc3"))  // the password hash digests Latin-1 bytes
            message = password.toLatin1();
        const auto *data = reinterpret_cast<const unsigned char *>(message.constData());
        for (const int piece : {1, 63, 64, 1000}) {
            md5_state_t state;
            md5_init(&state);
            for (qsizetype at = 0; at < message.size(); at += piece)
                md5_append(&state, data + at, int(qMin<qsizetype>(piece, message.size() - at)));
            md5_append(&state, data, 0);
            unsigned char result[16];
            md5_finish(&state, result);
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(result), 16).toHex(), digest);
        }
        // An empty password has no hash; one stops at a NUL.
        QCOMPARE(SettingsDialog::calculateHash(password), message.isEmpty() ? QString() : QString(digest));
        if (!message.isEmpty())
            QCOMPARE(SettingsDialog::calculateHash(password + QChar(0) + "tail"), QString(digest));
    }

    void coverFetch_data()
    {
        // COVER stands for the served cover's address, HOST for http://127.0.0.1:port.
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("album");
        QTest::addColumn<Response>("answer");
        QTest::addColumn<Response>("cover");
        QTest::addColumn<QByteArray>("query");  // of the album.getinfo request; empty: not checked
        QTest::addColumn<QString>("stored");    // the cover's file name; empty: no cover
        const Response ok{200, imageBytes, "image/png"};
        const auto answer = [](const QByteArray &body, int status = 200) { return Response{status, body}; };
        const QByteArray good = album(image("extralarge", "COVER"));
        const QByteArray api = "method=album.getinfo&api_key=5f0c2e9a7b1d4c3e8a6f2b0d9e7c1a45&album=";
        QTest::addRow("artist and album") << "The Band" << "AC/DC Live" << answer(good) << ok << api + "AC%2FDC%20Live&artist=The%20Band" << "TheBand_ACDCLive.jpg";
        QTest::addRow("no artist") << "" << "Un Titled" << answer(good) << ok << api + "Un%20Titled" << "_UnTitled.jpg";
        QTest::addRow("reserved characters") << "Tom & Jerry" << "100% Rock+Roll?#=" << answer(good) << ok
                << api + "100%25%20Rock%2BRoll%3F%23%3D&artist=Tom%20%26%20Jerry" << "Tom&Jerry_100%Rock+Roll?#=.jpg";
        QTest::addRow("non-ASCII") << "Björk" << "Homogénic" << answer(good) << ok << api + "Homog%C3%A9nic&artist=Bj%C3%B6rk" << "Björk_Homogénic.jpg";
        QTest::addRow("backslash, tab stays") << "Back\\slash" << "Tab\tStays" << answer(good) << ok << QByteArray() << "Backslash_Tab\tStays.jpg";
        QTest::addRow("dot names") << ".." << "/../.." << answer(good) << ok << QByteArray() << ".._.....jpg";
        QTest::addRow("NUL") << QString::fromLatin1("Nul\0Byte", 8) << "A" << answer(good) << ok << QByteArray() << "NulByte_A.jpg";
        QTest::addRow("very long album") << "Artist" << QString("é").repeated(300) << answer(good) << ok << QByteArray() << "long";
        QTest::addRow("the last extra-large image, trimmed, wins") << "A" << "B"
                << answer(album(image("small", "HOST/small.jpg") + image("extralarge", "HOST/first.jpg") + image("extralarge", "\n  COVER\n") + image("mega", "HOST/mega.jpg")))
                << ok << QByteArray() << "A_B.jpg";
        QTest::addRow("404") << "A" << "B" << Response{404, "missing"} << ok << QByteArray() << "";
        QTest::addRow("server error") << "A" << "B" << answer(good, 500) << ok << QByteArray() << "";
        QTest::addRow("not XML") << "A" << "B" << answer("Service temporarily unavailable\n") << ok << QByteArray() << "";
        QTest::addRow("empty answer") << "A" << "B" << answer("") << ok << QByteArray() << "";
        QTest::addRow("cut-off XML") << "A" << "B" << answer(good.left(good.indexOf("</album>"))) << ok << QByteArray() << "";
        QTest::addRow("no album element") << "A" << "B" << answer("<lfm>" + image("extralarge", "COVER") + "</lfm>") << ok << QByteArray() << "";
        QTest::addRow("no extra-large image") << "A" << "B" << answer(album(image("small", "COVER") + image("mega", "COVER"))) << ok << QByteArray() << "";
        QTest::addRow("last extra-large image empty") << "A" << "B" << answer(album(image("extralarge", "COVER") + image("extralarge", ""))) << ok << QByteArray() << "";
        QTest::addRow("over the size cap") << "A" << "B" << answer(QByteArray(good).replace("<name>", QByteArray(5 << 20, ' ') + "<name>")) << ok << QByteArray() << "";
        const QByteArray n = QByteArray("<n>").repeated(100000), endN = QByteArray("</n>").repeated(100000);
        QTest::addRow("100,000 unclosed levels") << "A" << "B" << answer("<lfm><album>" + n + image("extralarge", "COVER")) << ok << QByteArray() << "";
        QTest::addRow("100,000 levels around the album") << "A" << "B" << answer("<lfm>" + n + "<album>" + image("extralarge", "COVER") + "</album>" + endN + "</lfm>") << ok << QByteArray() << "";
        QTest::addRow("100,000 levels inside the image") << "A" << "B" << answer(album("<image size=\"extralarge\">" + n + "COVER" + endN + "</image>")) << ok << QByteArray() << "A_B.jpg";
        QByteArray many, attributes;
        while (many.size() < 3800 * 1024)
            many += image("extralarge", "http://127.0.0.1:1/wrong.jpg") + image("mega", "x");
        for (int i = 0; i < 10000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        QTest::addRow("3.8 MiB, 40,000 images") << "A" << "B" << answer(album(many + image("extralarge", "COVER"))) << ok << QByteArray() << "A_B.jpg";
        QTest::addRow("10,000 attributes") << "A" << "B" << answer(album("<image size=\"extralarge\"" + attributes + ">COVER</image>")) << ok << QByteArray() << "A_B.jpg";
        QTest::addRow("1 MiB address") << "A" << "B" << answer(album(image("extralarge", "COVER?" + QByteArray(1 << 20, 'a')))) << ok << QByteArray() << "A_B.jpg";
        QTest::addRow("NUL bytes") << "A" << "B" << answer(album(QByteArray("\0\0", 2) + image("extralarge", "COVER"))) << ok << QByteArray() << "";
        const QByteArray local = QUrl::fromLocalFile(QDir::homePath() + "/local.jpg").toEncoded();
        for (const QByteArray &address : QList<QByteArray>{local, "ftp://127.0.0.1/cover.jpg", "data:image/png;base64,iVBORw0KGgo=", "javascript:alert(1)",
                                          "/cover.jpg", "http:///cover.jpg", "FILE://" + local.mid(7), "&#102;ile://" + local.mid(7),
                                          " \n\t<![CDATA[" + local + "]]>"})
            QTest::addRow("address %s", address.left(24).constData()) << "A" << "B" << answer(album(image("extralarge", address))) << ok << QByteArray() << "";
        for (const QByteArray &target : QList<QByteArray>{local, "ftp://127.0.0.1/cover.jpg", "data:image/png;base64,iVBORw0KGgo="})
            QTest::addRow("redirect to %s", target.left(10).constData()) << "A" << "B" << answer(album(image("extralarge", "HOST/redirect")))
                    << Response{302, "moved", "text/plain", false, -1, target} << QByteArray() << "";
        QTest::addRow("redirect to http:") << "A" << "B" << answer(album(image("extralarge", "HOST/redirect")))
                << Response{302, "moved", "text/plain", false, -1, "COVER"} << QByteArray() << "A_B.jpg";
        QTest::addRow("dot segments, upper-case HTTP:") << "A" << "B" << answer(album(image("extralarge", "HTTP://127.0.0.1:PORT/a/../../cover.jpg"))) << ok << QByteArray() << "A_B.jpg";
        QTest::addRow("image not found") << "A" << "B" << answer(good) << Response{404, "missing", "text/plain"} << QByteArray() << "";
        QTest::addRow("empty image") << "A" << "B" << answer(good) << Response{200, "", "image/jpeg"} << QByteArray() << "";
        QTest::addRow("cut image transfer") << "A" << "B" << answer(good) << Response{200, imageBytes, "image/png", false, 100000} << QByteArray() << "";
        QTest::addRow("image never comes") << "A" << "B" << answer(good) << Response{200, "", "image/png", true} << QByteArray() << "";
    }

    // Nothing is fetched but over HTTP(S), nothing written but the answer file and the cover at its
    // own path; a failed fetch leaves nothing, so the next play of the album tries again.
    void coverFetch()
    {
        QFETCH(QString, artist);
        QFETCH(QString, album);
        QFETCH(Response, answer);
        QFETCH(Response, cover);
        QFETCH(QByteArray, query);
        QFETCH(QString, stored);
        const QByteArray host = "http://127.0.0.1:" + QByteArray::number(http.port());
        const auto fill = [&](QByteArray text) { return text.replace("COVER", host + "/cover.jpg").replace("HOST", host).replace("PORT", QByteArray::number(http.port())); };
        answer.body = fill(answer.body);
        cover.location = fill(cover.location);
        http.setResponse("/2.0/", answer);
        http.setResponse(cover.status == 302 ? "/redirect" : "/cover.jpg", cover);
        http.setResponse("/cover.jpg", cover.status == 302 ? Response{200, imageBytes, "image/png"} : cover);
        QVERIFY(writeFile(QDir::homePath() + "/local.jpg", imageBytes));
        const QStringList before = homeFiles();
        QCOMPARE(fetch(artist, album, cover.hang ? 2000 : 10000), std::optional(!stored.isEmpty()));
        QVERIFY(http.requests().first().target.startsWith("/2.0/?" + query));
        const QString path = CoverFetcher::coverPath(artist, album);
        for (const QString &file : homeFiles())
            QVERIFY2(before.contains(file) || file == CoverFetcher::answerPath() || (file == path && !stored.isEmpty()), qPrintable(file));
        if (stored == "long")
            QVERIFY(QFile::encodeName(QFileInfo(path).fileName()).size() <= 255 && path != CoverFetcher::coverPath(artist, album + "x"));
        else if (!stored.isEmpty())
            QCOMPARE(path, CoverFetcher::coverDirectory() + stored);
        QCOMPARE(readFile(path), stored.isEmpty() ? QByteArray() : imageBytes);
        if (stored.isEmpty() && cover.status != 302) {
            http.setResponse("/2.0/", {200, fill(::album(image("extralarge", "COVER")))});
            http.setResponse("/cover.jpg", {200, imageBytes, "image/png"});
            QCOMPARE(fetch(artist, album), std::optional(true));
            QCOMPARE(readFile(path), imageBytes);
        }
    }

    void handshake_data()
    {
        QTest::addColumn<Response>("answer");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("url");  // "*": any single line
        QTest::addColumn<int>("interval");
        const QString url = "http://post.example/submit";
        const auto text = [](const QByteArray &body) { return Response{200, body, "text/plain"}; };
        QTest::addRow("up to date") << text("UPTODATE\nd41d8cd98f00b204\nhttp://post.example/submit\nINTERVAL 1\n") << 2 << url << 1;
        QTest::addRow("CR/LF and blanks") << text("  UPTODATE \r\nc\r\n\t http://post.example/submit \r\n INTERVAL 1 \r\n") << 2 << url << 1;
        QTest::addRow("several digits") << text("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 1800") << 2 << url << 1800;
        QTest::addRow("10,000 lines") << text("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 5\n" + QByteArray("junk\n").repeated(10000)) << 2 << url << 5;
        QTest::addRow("fewer than four lines") << text("UPTODATE\nchallenge\nhttp://post.example/submit") << 0 << "" << 0;
        QTest::addRow("interval without number") << text("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL\n") << 0 << url << 0;
        QTest::addRow("NUL ends the text") << text(QByteArray("UPTODATE\nc\0\nhttp://post.example/submit\nINTERVAL 1\n", 48)) << 0 << "" << 0;
        QTest::addRow("one line") << text("UPTODATE") << 0 << "" << 0;
        QTest::addRow("service notice") << text("BADUSER\n") << 2 << "" << 0;
        QTest::addRow("empty answer") << text("") << 2 << "" << 0;
        QTest::addRow("binary answer") << text(imageBytes) << 2 << "" << 0;
        QTest::addRow("HTTP error") << Response{500, "UPTODATE\nc\nhttp://x/s\nINTERVAL 1\n"} << 0 << "" << 0;
        QTest::addRow("no answer") << Response{200, "", "text/plain", true} << 0 << "" << 0;
        QTest::addRow("over the size cap") << text("UPTODATE\nc\nhttp://x/s\nINTERVAL 1\n" + QByteArray(100 * 1024, '\n')) << 0 << "" << 0;
        QTest::addRow("closed port") << Response{-1, {}} << 0 << "" << 0;
        QRandomGenerator random(1234);
        for (int round = 0; round < 40; ++round) {
            QByteArray noise(random.bounded(8192), 0);
            for (char &byte : noise)
                byte = char(random.bounded(256));
            QTest::addRow("random answer %d", round) << text(round % 2 ? "UPTODATE\n" + noise : noise) << -1 << "*" << -1;
        }
    }

    void handshake()
    {
        QFETCH(Response, answer);
        QFETCH(int, state);
        QFETCH(QString, url);
        QFETCH(int, interval);
        http.setResponse("/", answer);
        QTcpServer closed;
        QUrl address = http.url("/");
        if (answer.status < 0 && closed.listen(QHostAddress::LocalHost))
            address.setPort(closed.serverPort());
        Scrobbler scrobbler;
        scrobbler.setHandshakeUrl(address);
        scrobbler.setUser("Jürgen & Co", SettingsDialog::calculateHash("secret"));
        scrobbler.setTimeout(2000);
        scrobbler.start();
        QVERIFY(QTest::qWaitFor([&] { return scrobbler.isFinished(); }, 20000));
        if (answer.status > 0)
            QCOMPARE(http.requests().first().target, "/?hs=true&p=1.1&c=rur&v=VERSION&u=J%C3%BCrgen%20%26%20Co");
        if (state >= 0) {
            QCOMPARE(scrobbler.state(), state);
            QCOMPARE(scrobbler.submissionUrl(), url);
            QCOMPARE(scrobbler.interval(), interval);
        } else {
            QVERIFY(scrobbler.state() == Scrobbler::NoSession || scrobbler.state() == Scrobbler::HandshakeDone);
            QVERIFY(!scrobbler.submissionUrl().contains('\n') && scrobbler.interval() >= 0);
        }
    }

    void scrobblerQueueAndNotices()
    {
        // A later notice keeps the submission address of the last good handshake.
        Scrobbler scrobbler;
        scrobbler.setHandshakeUrl(http.url("/"));
        for (const QByteArray &answer : {QByteArray("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 1\n"), QByteArray("FAILED Plugin bug\n")}) {
            http.setResponse("/", {200, answer});
            scrobbler.start();
            QVERIFY(QTest::qWaitFor([&] { return scrobbler.isFinished(); }, 10000));
        }
        QCOMPARE(scrobbler.state(), int(Scrobbler::HandshakeDone));
        QCOMPARE(scrobbler.submissionUrl(), "http://post.example/submit");
        Scrobbler idle;
        idle.submit();
        QCOMPARE(idle.state(), int(Scrobbler::NoSession));
        idle.enqueueSong(QmpdSong(1, 200, "Artist", "Title", "1", "a/b.flac", "2001", "Album"));
        idle.submit();
        QCOMPARE(idle.state(), int(Scrobbler::SubmitPending));
        QCOMPARE(idle.queueSize(), 1);
    }


    void settingsDialog_data()
    {
        QTest::addColumn<QString>("typedUser");
        QTest::addColumn<QString>("typedPassword");
        QTest::addColumn<bool>("chooseColour");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("hash");
        const QString old = SettingsDialog::calculateHash("old");
        QTest::addRow("user only keeps the account") << "bob" << "" << false << "alice" << old;
        QTest::addRow("user and password") << "bob" << "secret" << true << "bob" << "5ebe2294ecd0e0f08eab7690d2a6ee69";
        QTest::addRow("both cleared") << "" << "" << false << "" << "";
        QTest::addRow("password without user") << "" << "secret" << true << "" << "";
    }

    void settingsDialog()
    {
        QFETCH(QString, typedUser);
        QFETCH(QString, typedPassword);
        QFETCH(bool, chooseColour);
        QFETCH(QString, user);
        QFETCH(QString, hash);
        SettingsStore()->setValue(SettingsKey::LastfmUser, "alice");
        SettingsStore()->setValue(SettingsKey::LastfmHash, SettingsDialog::calculateHash("old"));
        const QColor initial = PlaylistItemDelegate().getNpColor(), colour = chooseColour ? QColor(Qt::green) : initial;
        QStringList shown;
        QTimer answer;  // the closer's timer is busy in the settings dialog: this one answers the chooser
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto *chooser = qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
                chooser->setCurrentColor(Qt::green);
                chooseColour ? chooser->accept() : chooser->reject();
            }
        });
        answer.start(30);
        QVERIFY(f.open([&](QDialog *dialog) {
            auto *lineUser = dialog->findChild<QLineEdit *>("lineLFMUser");
            auto *password = dialog->findChild<QLineEdit *>("lineLFMPasswd");
            auto *colourButton = dialog->findChild<QPushButton *>("btnColor");
            const auto iconColour = [&] { return colourButton->icon().pixmap(16, 16).toImage().pixelColor(8, 8).name(); };
            auto *trayNote = dialog->findChild<QCheckBox *>("checkTraynote");
            shown = QStringList{lineUser->text(), password->text(), QString::number(password->echoMode()),
                                QString::number(trayNote->isVisible()), QString::number(trayNote->isChecked()), iconColour()};
            trayNote->setChecked(chooseColour);
            colourButton->click();  // the chooser runs its own modal loop
            shown << iconColour();
            lineUser->setText(typedUser);
            password->setText(typedPassword);
            dialog->findChild<QCheckBox *>("checkDelArt")->setChecked(chooseColour);
            dialog->accept();
        }));
        f.widget<QAction>("action_Settings")->trigger();
        QCOMPARE(shown, QStringList({"alice", "", QString::number(QLineEdit::Password), "1", "0", initial.name(), colour.name()}));
        const QString flag = chooseColour ? "true" : "false";
        QCOMPARE(QStringList({stored(SettingsKey::LastfmUser).toString(), stored(SettingsKey::LastfmHash).toString(), stored(SettingsKey::SongNotifications).toString(),
                              stored(SettingsKey::DeleteAlbumArt).toString(), stored(SettingsKey::NpColor).value<QColor>().name()}),
                 QStringList({user, hash, flag, flag, colour.name()}));
        QCOMPARE(f.window->findChild<PlaylistItemDelegate *>()->getNpColor(), colour);
        QCOMPARE(f.widget<QAction>("actionEnable_scrobbling")->isEnabled(), !user.isEmpty());
        expectedBoxes = {"Settings"};
    }

    void settingsSurviveTheWindow_data()
    {
        QTest::addColumn<bool>("deleteCovers");
        QTest::addRow("covers deleted on exit") << true;
        QTest::addRow("covers kept") << false;
    }

    // Scrobbling, geometry and covers as the next start finds them.
    void settingsSurviveTheWindow()
    {
        QFETCH(bool, deleteCovers);
        SettingsStore()->setValue(SettingsKey::DeleteAlbumArt, deleteCovers);
        SettingsStore()->setValue(SettingsKey::LastfmUser, "alice");
        const QString dir = CoverFetcher::coverDirectory();
        const QStringList plain = {dir + "A_B.jpg", dir + "C_D.jpg"};
        const QStringList kept = {dir + ".hidden.jpg", dir + "sub/E_F.jpg", CoverFetcher::answerPath()};
        for (const QString &path : plain + kept)
            QVERIFY(writeFile(path, "image"));
        QVERIFY(f.open());
        QCOMPARE(QRect(f.window->pos(), f.window->size()), QRect(0, 0, 800, 550));
        auto *enable = f.widget<QAction>("actionEnable_scrobbling");
        QVERIFY(!enable->isChecked());
        enable->trigger();
        QCOMPARE(stored(SettingsKey::LastfmEnable).toBool(), true);  // at once
        f.window->move(41, 27);
        f.window->resize(913, 621);
        QTRY_COMPARE_WITH_TIMEOUT(f.window->pos(), QPoint(41, 27), 5000);
        f.window.reset();
        for (const QString &path : plain + kept)
            QVERIFY2(QFile::exists(path) == (!deleteCovers || kept.contains(path)), qPrintable(path));
        QVERIFY(f.open());
        QCOMPARE(QRect(f.window->pos(), f.window->size()), QRect(41, 27, 913, 621));
        QVERIFY(f.widget<QAction>("actionEnable_scrobbling")->isChecked());
        QVERIFY(!stored(SettingsKey::AppMaximized).toBool());
    }

    void windowCovers()
    {
        const QImage placeholder = asShown(":/unknowncoverimage");
        http.setResponse(service, {200, album(image("extralarge", "http://img.example/c.jpg"))});
        http.setResponse("http://img.example/c.jpg", {200, imageBytes, "image/png"});
        QImage fullSize;
        QVERIFY(f.open([&](QDialog *dialog) {
            const auto items = dialog->findChild<QGraphicsView *>()->scene()->items();
            if (items.size() == 1)
                fullSize = rgb(qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first())->pixmap().toImage());
            dialog->reject();
        }));
        const QList<QAction *> actions = f.widget<QGraphicsView>("imageCDCover")->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.first()->text(), "Show fullsize");
        actions.first()->trigger();  // no song yet: nothing to show
        QVERIFY(f.closer->texts.isEmpty());
        QVERIFY(connectAndPlay({rootSong, "Music/Rock/Classic/The Stones Of Time/Granite/01 First Stone.flac", rootSong}));
        QTRY_VERIFY_WITH_TIMEOUT(shownCover(f) == asShown(rootSongCover()) && shownCover(f) != placeholder, 10000);
        QVERIFY(http.requests().first().target.endsWith("album=Lone%20Album&artist=Solo%20Artist"));
        actions.first()->trigger();
        QCOMPARE(f.closer->texts, QStringList("Solo Artist - Lone Album"));
        QCOMPARE(fullSize, rgb(QImage::fromData(imageBytes)));
        expectedBoxes = f.closer->texts;
        // No usable image: the placeholder stays; the next song is asked for once this fetch ended.
        http.setResponse(service, {200, album(image("small", "http://img.example/s.jpg"))});
        QVERIFY(f.server.send("next"));
        QTRY_COMPARE_WITH_TIMEOUT(serviceRequests(), 2, 10000);
        QVERIFY(http.requests().last().target.endsWith("album=Granite&artist=The%20Stones%20Of%20Time"));
        QTRY_COMPARE_WITH_TIMEOUT(shownCover(f), placeholder, 10000);
        // A cached cover needs no request; a disconnect ends a hanging fetch at once.
        QVERIFY(f.server.send("next"));
        QTRY_COMPARE_WITH_TIMEOUT(shownCover(f), asShown(rootSongCover()), 10000);
        QCOMPARE(serviceRequests(), 2);
        http.setResponse(service, {200, "", "text/xml", true});
        QVERIFY(f.server.send("previous"));
        QTRY_COMPARE_WITH_TIMEOUT(serviceRequests(), 3, 10000);
        const QPointer<QGraphicsScene> scene = f.widget<QGraphicsView>("imageCDCover")->scene();
        f.widget<QAction>("actionDisconnect")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(scene.isNull(), 10000);  // well below the fetch's 15 s limit
        QCOMPARE(shownCover(f), placeholder);
    }

private:
    std::optional<bool> fetch(const QString &artist, const QString &album, int timeoutMs = 3000)
    {
        CoverFetcher fetcher;
        fetcher.setServiceUrl(http.url("/2.0/"));
        fetcher.setTimeout(timeoutMs);
        fetcher.setAlbumArtist(artist, album);
        QSignalSpy finished(&fetcher, &CoverFetcher::finished);
        fetcher.start();
        if (!QTest::qWaitFor([&] { return fetcher.isFinished(); }, 30000) || finished.count() != 1)
            return std::nullopt;
        return finished.first().first().toBool();
    }

    bool connectAndPlay(const QStringList &files)
    {
        return f.server.add(files) && f.server.send("play 0") && f.connect()
                && QTest::qWaitFor([this] { return f.widget<QLabel>("lblArtistSong")->text() == "Solo Artist - Root Song"; }, 5000);
    }

    int serviceRequests() const
    {
        int count = 0;
        for (const LocalHttpServer::Request &request : http.requests())
            count += request.path == service;
        return count;
    }


    LocalHttpServer http;
    WindowFixture f;
    QStringList expectedBoxes;
};

TUNELOOM_TEST_MAIN(TestLastfm)
#include "tst_lastfm.moc"
