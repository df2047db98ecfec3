// Internet radio: a stream added through File ▸ "Add stream…", played by a real mpd from a local
// HTTP server, and shown with its station's name and what it plays.
#include "core/songlist.h"
#include "playlist/songmodel.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QLabel>

class TestRadio : public QObject
{
    Q_OBJECT

    WindowFixture f;
    // A station that plays one song: its name in a header, the title in the song's tags. Served
    // by a process of its own, so that mpd's reads never wait for this thread's event loop.
    QProcess station;
    QString stationUrl;
    QString typed;  // what the Add stream dialog gets

    void addStream(bool keep)
    {
        QVERIFY(f.open([this, keep](QDialog *dialog) {
            dialog->findChild<QLineEdit *>("streamAddress")->setText(typed);
            dialog->findChild<QCheckBox *>("keepInRadio")->setChecked(keep);
            dialog->accept();
        }));
        QVERIFY(f.connect());
        f.widget<QAction>("actionAddStream")->trigger();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
        station.start("python3", {"-c", R"(
import http.server, sys
body = open(sys.argv[1], "rb").read()
class Station(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        for name, value in (("Content-Type", "audio/flac"), ("icy-name", "Test Radio"), ("Content-Length", str(len(body)))):
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Station)
print(server.server_address[1], flush=True)
server.serve_forever()
)", f.musicDir() + "/Root Song.flac"});
        QVERIFY(station.waitForReadyRead(5000));
        stationUrl = QString("http://127.0.0.1:%1/station.flac").arg(QString::fromLatin1(station.readLine().trimmed()));
    }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }
    void cleanupTestCase() { station.kill(), station.waitForFinished(5000); }

    void stationNames_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("title");
        QTest::addRow("name, then title") << QByteArray("file: http://a/b\nName: Radio\nTitle: Song") << "Radio: Song";
        QTest::addRow("title, then name") << QByteArray("file: https://a/b\nTitle: Song\nName: Radio\nfile: x.flac\nTitle: Next") << "Radio: Song";
        QTest::addRow("name only") << QByteArray("file: http://a/b\nName: Radio") << "Radio";
        QTest::addRow("a file's name tag") << QByteArray("file: x.flac\nName: Radio\nTitle: Song") << "Song";
    }

    void stationNames()
    {
        QFETCH(QByteArray, answer);
        const SongList list = SongList::parse(answer.split('\n'), QmpdSong::TrackDateDecoding::Locale);
        QTEST(list.songs.front().title, "title");
        QVERIFY(list.songs.size() == 1 || list.songs.back().title == "Next");
    }

    void playsStream()
    {
        typed = stationUrl;
        addStream(true);
        QTRY_COMPARE_WITH_TIMEOUT(f.server.queue(), QStringList{typed}, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(f.server.command("listplaylist Radio"), QStringList{"file: " + typed}, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(f.bannerShows("Stream added"), 5000);
        QVERIFY(f.server.send("play 0"));
        QTRY_COMPARE_WITH_TIMEOUT(f.rows("playlistTableview", SongModel::Title), QStringList{"Test Radio: Root Song"}, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(f.widget<QLabel>("lblArtistSong")->text(), "Solo Artist - Test Radio: Root Song", 5000);
        f.closer->texts.clear();  // the dialog
    }

    void refusesAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addRow("ftp") << "ftp://radio.example/live";
        QTest::addRow("no scheme") << "radio.example/live.mp3";
        QTest::addRow("empty") << "";
    }

    void refusesAddress()
    {
        QFETCH(QString, address);
        typed = address;
        addStream(true);
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), 2, 5000);
        QCOMPARE(f.closer->texts, QStringList({"Add stream", "A stream's address begins with http:// or https://, then the server's name."}));
        f.closer->texts.clear();
        QVERIFY(f.settle());
        QCOMPARE(f.server.queue(), QStringList());
        QCOMPARE(f.server.command("listplaylists"), QStringList());
    }
};

TUNELOOM_TEST_MAIN(TestRadio)
#include "tst_radio.moc"
