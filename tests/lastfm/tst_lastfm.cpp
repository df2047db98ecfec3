// Last.fm: the password hash, the cover fetcher and the scrobbler's handshake against a local HTTP
// server with good and hostile answers, and the window's settings and cover panel.
#include "covers/coverfetcher.h"
#include "localhttpserver.h"
#include "playlist/playlistitemdelegate.h"
#include "lastfm/scrobbler.h"
#include "ui/settingsdialog.h"
#include "core/settingsstore.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QColorDialog>
#include <QDirIterator>
#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QPointer>
#include <QPushButton>

using Response = LocalHttpServer::Response;

namespace {

// A small, complete PNG (NUL bytes included): covers are kept only when they are whole images.
const QByteArray imageBytes = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAQAAAADCAIAAAA7ljmRAAAAD0lEQVR4nGNg6O5GIJwcAPe/DQkG+lMxAAAAAElFTkSuQmCC");
const QByteArray service = CoverFetcher::DEFAULT_SERVICE_URL;

QByteArray album(const QByteArray &content) { return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<lfm status=\"ok\">\n<album>\n<name>A</name>\n" + content + "</album>\n</lfm>\n"; }
QByteArray image(const QByteArray &size, const QByteArray &address) { return "<image size=\"" + size + "\">" + address + "</image>\n"; }

QStringList homeFiles()
{
    QStringList files;
    for (QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    return files;
}

// An image file as the cover view shows it.
QImage asShown(const QString &path) { return QPixmap(path).scaled(148, 148, Qt::IgnoreAspectRatio, Qt::FastTransformation).toImage().convertToFormat(QImage::Format_RGB32); }

QImage shownCover(const QGraphicsView *view)
{
    const QGraphicsScene *scene = view->scene();
    const auto items = scene ? scene->items() : QList<QGraphicsItem *>();
    const auto *item = items.size() == 1 ? qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first()) : nullptr;
    return item ? item->pixmap().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
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
        SettingsStore()->setValue(SettingsKey::LyricsUrl, QString());  // its requests would come here too
    }

    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }


    void md5Digest_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("digest");
        const std::pair<QString, QString> vectors[] = {{"", ""}, {"abc", "900150983cd24fb0d6963f7d28e17f72"}, {QString("1234567890").repeated(8), "57edf4a22be3c955ac49da2e2107b67a"},
                {QString(55, 'a'), "ef1772b6dff9a122358552954ad0df65"}, {QString(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
                {QString(64, 'a'), "014842d480b571495a4a0363793f7367"}, {"pässwörd", "2ca67a2dbf3a2f52ef5126a2ae8f8a2f"}};
        for (const auto &[password, digest] : vectors)
            QTest::addRow("%d characters", int(password.size())) << password << digest;
    }

    // The password hash: MD5 of the Latin-1 bytes up to a NUL; an empty password has none.
    void md5Digest()
    {
        QFETCH(QString, password); QFETCH(QString, digest);
        QCOMPARE(SettingsDialog::calculateHash(password), digest);
        if (!password.isEmpty())
            QCOMPARE(SettingsDialog::calculateHash(password + QChar(0) + "tail"), digest);
    }

    void coverFetch_data()
    {
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("album");
        QTest::addColumn<Response>("answer");
        QTest::addColumn<Response>("cover");
        QTest::addColumn<QByteArray>("query");  // of the album.getinfo request; empty: not checked
        QTest::addColumn<QString>("stored");    // the cover's file name; empty: no cover
        const Response ok{200, imageBytes, "image/png"};
        const QByteArray host = "http://127.0.0.1:" + QByteArray::number(http.port()), cover = host + "/cover.jpg";
        const QByteArray good = album(image("extralarge", cover)), api = "method=album.getinfo&api_key=5f0c2e9a7b1d4c3e8a6f2b0d9e7c1a45&album=";
        const auto row = [&](const QByteArray &name, const QByteArray &answer, const QString &stored = {}, const Response &cover = {200, imageBytes, "image/png"},
                             int status = 200, const QString &artist = "A", const QString &album = "B", const QByteArray &query = {}) {
            QTest::addRow("%s", name.constData()) << artist << album << Response{status, answer} << cover << query << stored;
        };
        const auto named = [&](const char *name, const QString &artist, const QString &album, const QString &stored, const QByteArray &query = {}) { row(name, good, stored, ok, 200, artist, album, query); };
        named("artist and album", "The Band", "AC/DC Live", "TheBand_ACDCLive.jpg", api + "AC%2FDC%20Live&artist=The%20Band");
        named("no artist", "", "Un Titled", "_UnTitled.jpg", api + "Un%20Titled");
        named("reserved characters", "Tom & Jerry", "100% Rock+Roll?#=", "Tom&Jerry_100%Rock+Roll?#=.jpg", api + "100%25%20Rock%2BRoll%3F%23%3D&artist=Tom%20%26%20Jerry");
        named("non-ASCII", "Björk", "Homogénic", "Björk_Homogénic.jpg", api + "Homog%C3%A9nic&artist=Bj%C3%B6rk");
        named("backslash, tab stays", "Back\\slash", "Tab\tStays", "Backslash_Tab\tStays.jpg");
        named("dot names", "..", "/../..", ".._.....jpg");
        named("NUL", QString::fromLatin1("Nul\0Byte", 8), "A", "NulByte_A.jpg");
        named("very long album", "Artist", QString("é").repeated(300), "long");
        row("the last extra-large image, trimmed, wins", album(image("small", host + "/small.jpg") + image("extralarge", host + "/first.jpg") + image("extralarge", "\n  " + cover + "\n") + image("mega", host + "/mega.jpg")), "A_B.jpg");
        row("server error", good, {}, ok, 500);
        row("not XML", "Service temporarily unavailable\n");
        row("empty answer", "");
        row("cut-off XML", good.left(good.indexOf("</album>")));
        row("no album element", "<lfm>" + image("extralarge", cover) + "</lfm>");
        row("no extra-large image", album(image("small", cover) + image("mega", cover)));
        row("last extra-large image empty", album(image("extralarge", cover) + image("extralarge", "")));
        row("over the size cap", QByteArray(good).replace("<name>", QByteArray(5 << 20, ' ') + "<name>"));
        const QByteArray n = QByteArray("<n>").repeated(100000), endN = QByteArray("</n>").repeated(100000);
        row("100,000 unclosed levels", "<lfm><album>" + n + image("extralarge", cover));
        row("100,000 levels around the album", "<lfm>" + n + "<album>" + image("extralarge", cover) + "</album>" + endN + "</lfm>");
        row("100,000 levels inside the image", album("<image size=\"extralarge\">" + n + cover + endN + "</image>"), "A_B.jpg");
        QByteArray many, attributes;
        while (many.size() < 3800 * 1024)
            many += image("extralarge", "http://127.0.0.1:1/wrong.jpg") + image("mega", "x");
        for (int i = 0; i < 10000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        row("3.8 MiB, 40,000 images", album(many + image("extralarge", cover)), "A_B.jpg");
        row("10,000 attributes", album("<image size=\"extralarge\"" + attributes + ">" + cover + "</image>"), "A_B.jpg");
        row("1 MiB address", album(image("extralarge", cover + "?" + QByteArray(1 << 20, 'a'))), "A_B.jpg");
        row("NUL bytes", album(QByteArray("\0\0", 2) + image("extralarge", cover)));
        const QByteArray local = QUrl::fromLocalFile(QDir::homePath() + "/local.jpg").toEncoded();
        for (const QByteArray &address : QList<QByteArray>{local, "ftp://127.0.0.1/cover.jpg", "data:image/png;base64,iVBORw0KGgo=", "javascript:alert(1)",
                                          "/cover.jpg", "http:///cover.jpg", "FILE://" + local.mid(7), "&#102;ile://" + local.mid(7),
                                          " \n\t<![CDATA[" + local + "]]>"})
            row("address " + address.left(24), album(image("extralarge", address)));
        for (const QByteArray &target : QList<QByteArray>{local, "ftp://127.0.0.1/cover.jpg", "data:image/png;base64,iVBORw0KGgo=", cover})
            row("redirect to " + target.left(10), album(image("extralarge", host + "/redirect")), target == cover ? "A_B.jpg" : "", {302, "moved", "text/plain", false, -1, target});
        row("dot segments, upper-case HTTP:", album(image("extralarge", "HTTP" + host.mid(4) + "/a/../../cover.jpg")), "A_B.jpg");
        row("image not found", good, {}, {404, "missing", "text/plain"});
        row("empty image", good, {}, {200, "", "image/jpeg"});
        row("cut image transfer", good, {}, {200, imageBytes, "image/png", false, 100000});
        row("image never comes", good, {}, {200, "", "image/png", true});
    }

    // Nothing is fetched but over HTTP(S), nothing written but the answer file and the cover at its
    // own path; a failed fetch leaves nothing, so the next play of the album tries again.
    void coverFetch()
    {
        QFETCH(QString, artist); QFETCH(QString, album); QFETCH(QString, stored);
        QFETCH(Response, answer); QFETCH(Response, cover); QFETCH(QByteArray, query);
        http.setResponse("/2.0/", answer);
        http.setResponse("/redirect", cover);
        http.setResponse("/cover.jpg", cover.status == 302 ? Response{200, imageBytes, "image/png"} : cover);
        QVERIFY(writeFile(QDir::homePath() + "/local.jpg", imageBytes));
        const QStringList before = homeFiles();
        QCOMPARE(fetch(artist, album, cover.hang ? 1000 : 10000), std::optional(!stored.isEmpty()));
        QVERIFY(http.requests().first().target.startsWith("/2.0/?" + query));
        const QString path = CoverFetcher::coverPath(artist, album);
        for (const QString &file : homeFiles())
            QVERIFY2(before.contains(file) || file == CoverFetcher::answerPath() || (file == path && !stored.isEmpty()), qPrintable(file));
        if (stored == "long")
            QVERIFY(QFile::encodeName(QFileInfo(path).fileName()).size() <= 255 && path != CoverFetcher::coverPath(artist, album + "x"));
        else if (!stored.isEmpty())
            QCOMPARE(path, CoverFetcher::coverDirectory() + stored);
        QCOMPARE(readFile(path), stored.isEmpty() ? QByteArray() : imageBytes);
        if (stored.isEmpty()) {
            http.setResponse("/2.0/", {200, ::album(image("extralarge", http.url("/cover.jpg").toEncoded()))});
            http.setResponse("/cover.jpg", {200, imageBytes, "image/png"});
            QCOMPARE(fetch(artist, album), std::optional(true));
        }
    }

    void handshake_data()
    {
        QTest::addColumn<Response>("answer");
        QTest::addColumn<QString>("session");  // state|submission address|interval; "*": any, the address one line
        const QString url = "http://post.example/submit";
        const auto text = [](const QByteArray &body) { return Response{200, body, "text/plain"}; };
        QTest::addRow("up to date") << text("UPTODATE\nd41d8cd98f00b204\nhttp://post.example/submit\nINTERVAL 1\n") << "2|" + url + "|1";
        QTest::addRow("CR/LF and blanks") << text("  UPTODATE \r\nc\r\n\t http://post.example/submit \r\n INTERVAL 1 \r\n") << "2|" + url + "|1";
        QTest::addRow("several digits") << text("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 1800") << "2|" + url + "|1800";
        QTest::addRow("10,000 lines") << text("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 5\n" + QByteArray("junk\n").repeated(10000)) << "2|" + url + "|5";
        QTest::addRow("fewer than four lines") << text("UPTODATE\nchallenge\nhttp://post.example/submit") << "0||0";
        QTest::addRow("interval without number") << text("UPTODATE\nc\nhttp://post.example/submit\nINTERVAL\n") << "0|" + url + "|0";
        QTest::addRow("NUL ends the text") << text(QByteArray("UPTODATE\nc\0\nhttp://post.example/submit\nINTERVAL 1\n", 48)) << "0||0";
        QTest::addRow("one line") << text("UPTODATE") << "0||0";
        QTest::addRow("service notice") << text("BADUSER\n") << "2||0";
        QTest::addRow("empty answer") << text("") << "2||0";
        QTest::addRow("binary answer") << text(imageBytes) << "2||0";
        QTest::addRow("HTTP error") << Response{500, "UPTODATE\nc\nhttp://x/s\nINTERVAL 1\n"} << "0||0";
        QTest::addRow("no answer") << Response{200, "", "text/plain", true} << "0||0";
        QTest::addRow("over the size cap") << text("UPTODATE\nc\nhttp://x/s\nINTERVAL 1\n" + QByteArray(100 * 1024, '\n')) << "0||0";
        QRandomGenerator random(1234);
        for (int round = 0; round < 40; ++round) {
            QByteArray noise(random.bounded(2048) * 4, 0);
            random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
            QTest::addRow("random answer %d", round) << text(round % 2 ? "UPTODATE\n" + noise : noise) << "*";
        }
    }

    void handshake()
    {
        QFETCH(Response, answer); QFETCH(QString, session);
        http.setResponse("/", answer);
        Scrobbler scrobbler;
        scrobbler.setHandshakeUrl(http.url("/"));
        scrobbler.setUser("Jürgen & Co", SettingsDialog::calculateHash("secret"));
        scrobbler.setTimeout(answer.hang ? 1000 : 10000);
        scrobbler.start();
        QVERIFY(QTest::qWaitFor([&] { return scrobbler.isFinished(); }, 20000));
        QCOMPARE(http.requests().first().target, "/?hs=true&p=1.1&c=rur&v=VERSION&u=J%C3%BCrgen%20%26%20Co");
        if (session != "*")
            QCOMPARE(QString("%1|%2|%3").arg(scrobbler.state()).arg(scrobbler.submissionUrl()).arg(scrobbler.interval()), session);
        else
            QVERIFY((scrobbler.state() == Scrobbler::NoSession || scrobbler.state() == Scrobbler::HandshakeDone) && !scrobbler.submissionUrl().contains('\n') && scrobbler.interval() >= 0);
    }

    // A later notice keeps the last good handshake's address; submitting needs queued songs.
    void scrobblerQueueAndNotices()
    {
        Scrobbler scrobbler;
        scrobbler.setHandshakeUrl(http.url("/"));
        for (const char *answer : {"UPTODATE\nc\nhttp://post.example/submit\nINTERVAL 1\n", "FAILED Plugin bug\n"}) {
            http.setResponse("/", {200, answer});
            scrobbler.handshake();  // on this thread: the local server answers from its event loop
        }
        scrobbler.submit();  // nothing queued: nothing to send
        QCOMPARE(QString("%1|%2").arg(scrobbler.state()).arg(scrobbler.submissionUrl()), "2|http://post.example/submit");
        scrobbler.enqueueSong(QmpdSong(1, 200, "Artist", "Title", "1", "a/b.flac", "2001", "Album"));
        scrobbler.submit();
        QCOMPARE(QList<int>({scrobbler.state(), scrobbler.queueSize()}), QList<int>({Scrobbler::SubmitPending, 1}));
    }

    void settingsDialog_data()
    {
        QTest::addColumn<QString>("typedUser");
        QTest::addColumn<QString>("typedPassword");
        QTest::addColumn<bool>("ticked");  // tray notes and cover deletion ticked, a colour chosen
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("hash");
        const QString old = SettingsDialog::calculateHash("old");
        QTest::addRow("user only keeps the account") << "bob" << "" << false << "alice" << old;
        QTest::addRow("user and password") << "bob" << "secret" << true << "bob" << "5ebe2294ecd0e0f08eab7690d2a6ee69";
        QTest::addRow("both cleared") << "" << "" << false << "" << "";
        QTest::addRow("password without user") << "" << "secret" << true << "" << "";
    }

    // What the dialog shows and stores, and what the next start finds: covers deleted on exit when
    // asked, scrobbling (only with a user) and the window's geometry.
    void settingsDialog()
    {
        QFETCH(QString, typedUser); QFETCH(QString, typedPassword); QFETCH(bool, ticked);
        QFETCH(QString, user); QFETCH(QString, hash);
        const auto stored = [](const char *key) { return SettingsStore()->value(key); };
        for (const auto &[key, value] : {std::pair<const char *, QVariant>{SettingsKey::LastfmUser, "alice"}, {SettingsKey::LastfmHash, SettingsDialog::calculateHash("old")}, {SettingsKey::DeleteAlbumArt, !ticked}})
            SettingsStore()->setValue(key, value);
        const QString dir = CoverFetcher::coverDirectory();
        const QStringList plain = {dir + "A_B.jpg", dir + "C_D.jpg"}, kept = {dir + ".hidden.jpg", dir + "sub/E_F.jpg", CoverFetcher::answerPath()};
        for (const QString &path : plain + kept)
            QVERIFY(writeFile(path, "image"));
        const QColor initial = PlaylistItemDelegate().getNpColor(), colour = ticked ? QColor(Qt::green) : initial;
        QStringList shown;
        QTimer answer;  // the closer's timer is busy in the settings dialog: this one answers the chooser
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto *chooser = qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
                chooser->setCurrentColor(Qt::green);
                ticked ? chooser->accept() : chooser->reject();
            }
        });
        answer.start(30);
        QVERIFY(f.open([&](QDialog *dialog) {
            auto *lineUser = dialog->findChild<QLineEdit *>("lineLFMUser"), *password = dialog->findChild<QLineEdit *>("lineLFMPasswd");
            auto *trayNote = dialog->findChild<QCheckBox *>("checkTraynote"), *deleteCovers = dialog->findChild<QCheckBox *>("checkDelArt");
            auto *colourButton = dialog->findChild<QPushButton *>("btnColor");
            const auto iconColour = [&] { return colourButton->icon().pixmap(16, 16).toImage().pixelColor(8, 8).name(); };
            shown = QStringList{lineUser->text(), password->text(), QString::number(password->echoMode()), QString::number(trayNote->isVisible()),
                                QString::number(trayNote->isChecked()), iconColour(), QString::number(deleteCovers->isChecked())};
            trayNote->setChecked(ticked);
            deleteCovers->setChecked(ticked);
            colourButton->click();  // the chooser runs its own modal loop
            shown << iconColour();
            lineUser->setText(typedUser);
            password->setText(typedPassword);
            dialog->accept();
        }));
        f.widget<QAction>("action_Settings")->trigger();
        QCOMPARE(shown, QStringList({"alice", "", QString::number(QLineEdit::Password), "1", "0", initial.name(), QString::number(!ticked), colour.name()}));
        QCOMPARE(QStringList({stored(SettingsKey::LastfmUser).toString(), stored(SettingsKey::LastfmHash).toString(), stored(SettingsKey::SongNotifications).toString(),
                              stored(SettingsKey::DeleteAlbumArt).toString(), stored(SettingsKey::NpColor).value<QColor>().name()}),
                 QStringList({user, hash, ticked ? "true" : "false", ticked ? "true" : "false", colour.name()}));
        QCOMPARE(f.window->findChild<PlaylistItemDelegate *>()->getNpColor(), colour);
        QCOMPARE(f.closer->texts, QStringList("Settings"));
        QCOMPARE(QRect(f.window->pos(), f.window->size()), QRect(0, 0, 800, 550));
        f.widget<QAction>("actionEnable_scrobbling")->trigger();
        QCOMPARE(stored(SettingsKey::LastfmEnable).toBool(), !user.isEmpty());  // at once
        f.window->move(41, 27);
        f.window->resize(913, 621);
        QTRY_COMPARE_WITH_TIMEOUT(f.window->pos(), QPoint(41, 27), 5000);
        f.window.reset();
        for (const QString &path : plain + kept)
            QVERIFY2(QFile::exists(path) == (!ticked || kept.contains(path)), qPrintable(path));
        QVERIFY(f.open());
        QCOMPARE(QRect(f.window->pos(), f.window->size()), QRect(41, 27, 913, 621));
        QCOMPARE(f.widget<QAction>("actionEnable_scrobbling")->isChecked(), !user.isEmpty());
        QVERIFY(!stored(SettingsKey::AppMaximized).toBool());
    }

    // The cached cover, shown full size on request; a disconnect ends a hanging fetch at once.
    void windowCovers()
    {
        const QString cover = CoverFetcher::coverPath("Solo Artist", "Lone Album");
        QVERIFY(writeFile(cover, imageBytes));
        http.setResponse(service, {200, "", "text/xml", true});
        QImage fullSize;
        QVERIFY(f.open([&](QDialog *dialog) {
            const auto *view = dialog->findChild<QGraphicsView *>();
            fullSize = view ? shownCover(view) : QImage();
            dialog->reject();
        }));
        const QList<QAction *> actions = f.widget<QGraphicsView>("imageCDCover")->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.first()->text(), "Show fullsize");
        actions.first()->trigger();  // no song yet: nothing to show
        QVERIFY(f.server.add({"Root Song.flac", "Music/Rock/Classic/The Stones Of Time/Granite/01 First Stone.flac"}) && f.server.send("play 0") && f.connect());
        QTRY_COMPARE_WITH_TIMEOUT(shownCover(f.widget<QGraphicsView>("imageCDCover")), asShown(cover), 10000);
        actions.first()->trigger();
        QCOMPARE(fullSize, QImage::fromData(imageBytes).convertToFormat(QImage::Format_RGB32));
        expectedBoxes = {"Solo Artist - Lone Album"};
        QVERIFY(f.server.send("next"));
        QTRY_COMPARE_WITH_TIMEOUT(http.requests().size(), 1, 10000);  // none for the cached cover
        QCOMPARE(http.requests().first().target, service + "?method=album.getinfo&api_key=" + CoverFetcher::DEFAULT_API_KEY + "&album=Granite&artist=The%20Stones%20Of%20Time");
        const QPointer<QGraphicsScene> scene = f.widget<QGraphicsView>("imageCDCover")->scene();
        f.widget<QAction>("actionDisconnect")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(scene.isNull(), 10000);  // well below the fetch's 15 s limit
        QCOMPARE(shownCover(f.widget<QGraphicsView>("imageCDCover")), asShown(":/unknowncoverimage"));
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


    LocalHttpServer http;
    WindowFixture f;
    QStringList expectedBoxes;
};

TUNELOOM_TEST_MAIN(TestLastfm)
#include "tst_lastfm.moc"
