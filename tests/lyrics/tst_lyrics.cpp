// Lyrics: LRC files as found in the wild, the order of the sources, the online service (a local
// server standing in for LRCLIB) and its cache, and the Lyrics tab against a real mpd.
#include "desktop/playercontrol.h"
#include "localhttpserver.h"
#include "lyrics/lrcparser.h"
#include "lyrics/lyricscache.h"
#include "lyrics/lyricsfetcher.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>

namespace {

const QString FirstStone = "Music/Rock/Classic/The Stones Of Time/Granite/01 First Stone.flac";

QStringList describe(const Lyrics &lyrics)
{
    QStringList lines;
    for (const LyricsLine &line : lyrics.lines)
        lines << QString::number(line.ms) + ' ' + line.text;
    return lines;
}

QStringList repeated(const QString &text, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

}  // namespace

class TestLyrics : public QObject
{
    Q_OBJECT
    LocalHttpServer service;
    QTemporaryDir folder;
    WindowFixture f;

    // One run of a fetcher, as the window starts it; its answer.
    QByteArray fetch(const LyricsFetcher::Request &request)
    {
        LyricsFetcher fetcher;
        fetcher.setTimeout(500);
        fetcher.setRequest(request);
        QSignalSpy fetched(&fetcher, &LyricsFetcher::fetched);
        fetcher.start();
        return fetched.wait(5000) ? fetched[0][1].toByteArray() : "(no answer)";
    }
    LyricsFetcher::Request onlineRequest() const
    {
        return {{"Some/Song.flac", "AC/DC & Friends", "Mötley+Song", QString(), 245}, QString(), {},
                service.url("/")};
    }
    // Lyrics from the library's folder and tags only.
    bool openWindow()
    {
        SettingsStore()->setValue(SettingsKey::LyricsMusicFolder, f.musicDir());
        SettingsStore()->setValue(SettingsKey::LyricsUrl, QString());
        return f.open() && f.connect();
    }
    QString shownText() const
    {
        auto *page = f.widget<QStackedWidget>("lyricsPage");
        if (auto *label = qobject_cast<QLabel *>(page->currentWidget()))
            return label->text();
        if (auto *text = qobject_cast<QPlainTextEdit *>(page->currentWidget()))
            return text->toPlainText();
        return WindowFixture::rows(qobject_cast<QListWidget *>(page->currentWidget())->model()).join('\n');
    }
    int highlighted() const
    {
        auto *lines = f.widget<QListWidget>("lyricsLines");
        for (int row = 0; row < lines->count(); ++row) {
            if (lines->item(row)->font().bold())
                return row;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(service.listen() && folder.isValid());
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
        // A song whose lyrics are in its tags: one line, since mpd leaves out values of several.
        const QString tagged = f.musicDir() + "/Lyrics/Tagged.flac";
        QVERIFY(QDir().mkpath(f.musicDir() + "/Lyrics")
                && QFile::copy(f.musicDir() + "/Misc/No Tags.flac", tagged));
        QCOMPARE(QProcess::execute("metaflac", {"--set-tag=TITLE=Tagged", "--set-tag=UNSYNCEDLYRICS=Words from the tag", tagged}), 0);
        QVERIFY(f.server.updateDatabase("Lyrics"));
    }
    void init()
    {
        service.reset();
        QVERIFY(QDir(LyricsCache::directory()).removeRecursively());
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("lines");  // "ms text", in time order
        QTest::addColumn<QString>("plainText");
        QTest::addRow("mm:ss") << QByteArray("[00:05]Five\n[01:02]Sixty-two\n")
                               << QStringList{"5000 Five", "62000 Sixty-two"} << "Five\nSixty-two";
        QTest::addRow("fractions: tenths, hundredths, thousandths, after a colon")
                << QByteArray("[00:01.5]a\n[00:02.25]b\n[00:03.125]c\n[00:04:50]d")
                << QStringList{"1500 a", "2250 b", "3125 c", "4500 d"} << "a\nb\nc\nd";
        QTest::addRow("several times on a line, out of order")
                << QByteArray("[00:30.00][00:10.00]Chorus\n[00:20.00]Verse\n[00:20.00]Verse two")
                << QStringList{"10000 Chorus", "20000 Verse", "20000 Verse two", "30000 Chorus"}
                << "Chorus\nVerse\nVerse two\nChorus";
        QTest::addRow("positive offset: earlier, not before the start")
                << QByteArray("[00:02.00]a\n[offset:+500]\n[00:00.20]b")
                << QStringList{"0 b", "1500 a"} << "b\na";
        QTest::addRow("negative offset: later") << QByteArray("[offset:-250]\n[00:01.00]a")
                                                << QStringList{"1250 a"} << "a";
        QTest::addRow("metadata ignored, words in brackets kept")
                << QByteArray("[ar:Someone]\n[ti:Song]\n[length: 03:20]\n[00:01][Chorus] la\nno time")
                << QStringList{"1000 [Chorus] la"} << "[Chorus] la";
        QTest::addRow("BOM and CRLF") << QByteArray("\xEF\xBB\xBF[00:01]a\r\n[00:02]b\r\n")
                                      << QStringList{"1000 a", "2000 b"} << "a\nb";
        QTest::addRow("UTF-16 with BOM")
                << QByteArray::fromHex("fffe5b00300030003a00300031005d00e400")
                << QStringList{"1000 ä"} << "ä";
        QTest::addRow("invalid UTF-8 replaced") << QByteArray("[00:01]a\xFF" "b\xC3")
                                                << QStringList{"1000 a\uFFFDb\uFFFD"} << "a\uFFFDb\uFFFD";
        QTest::addRow("plain text") << QByteArray("\nFirst line\r\n\r\nSecond line\n")
                                    << QStringList() << "First line\n\nSecond line";
        QTest::addRow("malformed times are words")
                << QByteArray("[00:1x]a\n[12345:00]b\n[00:01.1234]c\n[00:01")
                << QStringList() << "[00:1x]a\n[12345:00]b\n[00:01.1234]c\n[00:01";
        QTest::addRow("empty") << QByteArray() << QStringList() << QString();
        QTest::addRow("very many lines: capped")
                << QByteArray("[00:01]x\n").repeated(100000)
                << repeated("1000 x", LrcParser::MaxLines) << repeated("x", LrcParser::MaxLines).join('\n');
        QTest::addRow("very many times on one line: capped")
                << QByteArray("[00:01]").repeated(70000) + "x"
                << repeated("1000 x", LrcParser::MaxLines) << repeated("x", LrcParser::MaxLines).join('\n');
        QTest::addRow("very long line: capped")
                << QByteArray(4 * LrcParser::MaxBytes, '[') << QStringList()
                << QString(LrcParser::MaxBytes, '[');
    }
    void parse()
    {
        QFETCH(QByteArray, file);
        const Lyrics lyrics = LrcParser::parse(file);
        QTEST(describe(lyrics), "lines");
        QTEST(lyrics.plainText, "plainText");
    }

    // Every answer of the service; then the same song again: a remembered answer asks nothing.
    void online_data()
    {
        QTest::addColumn<LocalHttpServer::Response>("response");
        QTest::addColumn<QByteArray>("lyrics");
        QTest::addColumn<int>("askedAgain");
        const QByteArray json = "application/json";
        QTest::addRow("synced beats plain")
                << LocalHttpServer::Response{200, R"({"plainLyrics":"a","syncedLyrics":"[00:01.00]a"})", json}
                << QByteArray("[00:01.00]a") << 0;
        QTest::addRow("plain only")
                << LocalHttpServer::Response{200, R"({"plainLyrics":"ä","syncedLyrics":null})", json}
                << QByteArray("ä") << 0;
        QTest::addRow("404: none, remembered") << LocalHttpServer::Response{404, "{}", json}
                                               << QByteArray() << 0;
        QTest::addRow("no words: none, remembered")
                << LocalHttpServer::Response{200, R"({"instrumental":true,"plainLyrics":"","syncedLyrics":null})", json}
                << QByteArray() << 0;
        QTest::addRow("time-out: asked again")
                << LocalHttpServer::Response{200, {}, json, true} << QByteArray() << 1;
        QTest::addRow("server error: asked again") << LocalHttpServer::Response{500, "{}", json}
                                                   << QByteArray() << 1;
        QTest::addRow("not JSON: asked again") << LocalHttpServer::Response{200, "<html>", json}
                                               << QByteArray() << 1;
    }
    void online()
    {
        QFETCH(LocalHttpServer::Response, response); QFETCH(QByteArray, lyrics);
        service.setResponse("/api/get", response);
        QCOMPARE(fetch(onlineRequest()), lyrics);
        QCOMPARE(service.requests().size(), 1);
        QCOMPARE(service.requests()[0].target,
                 "/api/get?artist_name=AC%2FDC%20%26%20Friends&track_name=M%C3%B6tley%2BSong&album_name=&duration=245");
        QCOMPARE(fetch(onlineRequest()), lyrics);
        QTEST(int(service.requests().size()) - 1, "askedAgain");
    }

    // First hit wins: Song.lrc, Song.txt, the song's tag, the service.
    void sources_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QByteArray>("lyrics");
        QTest::addRow("lyrics file") << QStringList{"lrc", "txt"} << QByteArray("tag") << QByteArray("lrc");
        QTest::addRow("text file") << QStringList{"txt"} << QByteArray("tag") << QByteArray("txt");
        QTest::addRow("tag") << QStringList() << QByteArray("tag") << QByteArray("tag");
        QTest::addRow("service") << QStringList() << QByteArray() << QByteArray("online");
    }
    void sources()
    {
        QFETCH(QStringList, files); QFETCH(QByteArray, tag);
        QVERIFY(QDir(folder.path() + "/Some").removeRecursively());
        for (const QString &suffix : files)
            QVERIFY(writeFile(folder.path() + "/Some/Song." + suffix, suffix.toUtf8()));
        service.setResponse("/api/get", {200, R"({"plainLyrics":"online"})", "application/json"});
        LyricsFetcher::Request request = onlineRequest();
        request.musicFolder = folder.path();
        request.tagLyrics = tag;
        QTEST(fetch(request), "lyrics");
    }

    // The Lyrics tab for songs as the server plays them, the music folder set in the settings.
    void tab_data()
    {
        QTest::addColumn<QString>("song");
        QTest::addColumn<QString>("shown");
        QTest::addRow("lyrics file, synced") << FirstStone << "A river carved the valley long ago";
        QTest::addRow("song's tag, plain") << "Lyrics/Tagged.flac" << "Words from the tag";
        QTest::addRow("none") << "Misc/No Tags.flac" << "No lyrics found";
    }
    void tab()
    {
        QFETCH(QString, song); QFETCH(QString, shown);
        QVERIFY(openWindow());
        QVERIFY(f.server.add({song}) && f.server.send("play"));
        QTRY_VERIFY(shownText().startsWith(shown));
        QCOMPARE(f.window->findChild<PlayerControl *>()->lyricsText().startsWith(shown), shown != "No lyrics found");
        f.close();
    }

    // Another client seeks in the paused song; a click on a line seeks there.
    void highlightFollowsSeeks_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("row");
        QTest::addRow("before the first line") << 3 << -1;
        QTest::addRow("on a line") << 20 << 2;
        QTest::addRow("between lines") << 34 << 3;
        QTest::addRow("a pause") << 36 << 4;
        QTest::addRow("the chorus again") << 101 << 13;
        QTest::addRow("after the last line") << 199 << 14;
    }
    void highlightFollowsSeeks()
    {
        QFETCH(int, seconds); QFETCH(int, row);
        QVERIFY(openWindow());
        QVERIFY(f.server.add({FirstStone}) && f.server.send("play") && f.server.send("pause 1"));
        QTRY_COMPARE(f.widget<QListWidget>("lyricsLines")->count(), 15);
        QVERIFY(f.server.send(QString("seekcur %1").arg(seconds)));
        QTRY_COMPARE(highlighted(), row);
        f.widget<QTabWidget>("tabWidget")->setCurrentWidget(f.widget("lyricsPage"));
        QVERIFY(WindowFixture::click(f.widget<QListWidget>("lyricsLines"), 1));  // 00:12.50
        QTRY_COMPARE(int(f.server.statusValue("elapsed").toDouble()), 13);
        QTRY_COMPARE(highlighted(), 1);
        f.close();
    }
};

TUNELOOM_TEST_MAIN(TestLyrics)
#include "tst_lyrics.moc"
