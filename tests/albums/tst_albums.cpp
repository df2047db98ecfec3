// The Albums tab against a real mpd: what the grid lists in each order, what it adds to the
// queue, and which covers it asks the server for (counted in mpd's verbose log).
#include "albums/albumgridmodel.h"
#include "covers/coverfetcher.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QTabWidget>

static const QString COVER = QStringLiteral(TUNELOOM_SOURCE_DIR "/scripts/library-covers/pebbles.jpg");
static const int BULK_SONGS = 600;  // 60 albums of ten songs, each with a cover file

class TestAlbums : public QObject
{
    Q_OBJECT
    WindowFixture f{MpdFixture::Options{{}, {}, 0, {}, true, "verbose"}};
    QTemporaryDir music;

    QListView *grid() const { return f.widget<QListView>("albumGrid"); }
    QStringList titles() const { return f.rows("albumGrid", 0, AlbumGridModel::AlbumRole); }

    // The songs whose pictures mpd was asked for since the log had `from` bytes, each once.
    QStringList askedCovers(qsizetype from) const
    {
        static const QRegularExpression command("process command \"(?:readpicture|albumart) \"(.*?)\" ");
        QStringList files;
        for (const auto &match : command.globalMatch(QString::fromUtf8(readFile(f.server.logFile()).mid(from)))) {
            if (!files.contains(match.captured(1)))
                files << match.captured(1);
        }
        return files;
    }

    void showAlbums()
    {
        f.widget<QTabWidget>("tabWidget")->setCurrentWidget(f.widget("tabAlbums"));
        grid()->setFocus();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(music.isValid() && TestLibrary::generate(music.path(), BULK_SONGS));
        for (int album = 1; album <= BULK_SONGS / 10; ++album) {
            const QString folder = QString("%1/Bulk/Artist %2/Album %3/").arg(music.path())
                    .arg((album - 1) / 5 + 1, 3, 10, QChar('0')).arg(album, 4, 10, QChar('0'));
            QVERIFY(QFile::copy(COVER, folder + "cover.jpg"));
        }
        // File names in the opposite order of the track numbers; changed last of all.
        const QString reverse = music.path() + "/Misc/Reverse/";
        QVERIFY(QDir().mkpath(reverse));
        for (const QString track : {"3", "2", "1"}) {
            const QString file = reverse + QString("%1.flac").arg(QChar('d' - track.toInt()));
            const QString composer = track == "1" ? "Ann Composer" : "Zed Composer";
            QVERIFY(QFile::copy(music.path() + "/Root Song.flac", file));
            QCOMPARE(QProcess::execute("metaflac", {"--remove-all-tags", "--set-tag=ARTIST=Turnabout", "--set-tag=ALBUM=Reverse", "--set-tag=ALBUMARTIST=Turnabout Crew",
                                                    "--set-tag=TITLE=Turn " + track, "--set-tag=TRACKNUMBER=" + track,
                                                    "--set-tag=COMPOSER=" + composer, file}), 0);
            QFile written(file);
            QVERIFY(written.open(QIODevice::ReadWrite)
                    && written.setFileTime(QDateTime::currentDateTime().addYears(1), QFileDevice::FileModificationTime));
        }
        QVERIFY2(f.server.start(music.path()), qPrintable(f.server.errorString()));
    }
    void init()
    {
        QVERIFY(WindowFixture::resetHome() && f.server.resetState() && f.open() && f.connect());
        QTRY_VERIFY(!titles().isEmpty());
        QAbstractItemModelTester tester(grid()->model());
    }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }

    // The first albums and the count in each order; ties go by artist, then title, case aside.
    void orders_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<int>("count");
        const int all = 16 + BULK_SONGS / 10;
        QTest::addRow("artist") << 0 << "" << QStringList{"", "Untitled Sessions", "Gold", "Greatest Hits", "Húsið", "Greatest Hits", "Bulk Album 0001"} << all;
        QTest::addRow("title") << 1 << "" << QStringList{"", "", "Bulk Album 0001"} << all;
        QTest::addRow("year: none last") << 2 << "" << QStringList{"Granite", "Pebbles", "Greatest Hits", "音楽図鑑", "Loud Nights"} << all;
        QTest::addRow("recently modified") << 3 << "" << QStringList{"Reverse"} << all;
        QTest::addRow("filter: words, accents aside") << 1 << "crue NIGHTS" << QStringList{"Loud Nights"} << 1;
        QTest::addRow("filter: artist and title") << 0 << "abba g" << QStringList{"Gold", "Greatest Hits"} << 2;
    }
    void orders()
    {
        QFETCH(int, order); QFETCH(QString, filter); QFETCH(QStringList, first);
        f.widget<QComboBox>("albumsSort")->setCurrentIndex(order);
        f.widget<QLineEdit>("albumsFilter")->setText(filter);
        QCOMPARE(titles().mid(0, first.size()), first);
        QTEST(int(titles().size()), "count");
        if (order == 2)
            QCOMPARE(titles().mid(titles().size() - 2), (QStringList{"", "Reverse"}));  // no date
    }

    // Songs in track order; play next lands after the playing song; replace starts the album.
    void addToQueue_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("queue");
        QTest::addColumn<QString>("state");
        const QString root = "Root Song.flac", granite = "Music/Rock/Classic/The Stones Of Time/Granite/0";
        const QStringList reverse = {"Misc/Reverse/c.flac", "Misc/Reverse/b.flac", "Misc/Reverse/a.flac"};
        QTest::addRow("enter") << "enter" << QStringList{granite + "1 First Stone.flac", root} + reverse << "play";
        QTest::addRow("double click") << "double click" << QStringList{granite + "1 First Stone.flac", root} + reverse << "play";
        QTest::addRow("ctrl+enter: next") << "ctrl+enter" << QStringList{granite + "1 First Stone.flac"} + reverse + QStringList{root} << "play";
        QTest::addRow("replace") << "Replace queue" << reverse << "play";
    }
    void addToQueue()
    {
        QFETCH(QString, how);
        QVERIFY(f.server.add({"Music/Rock/Classic/The Stones Of Time/Granite/01 First Stone.flac", "Root Song.flac"}));
        f.server.mpc({"play"});
        QVERIFY(f.settle());
        showAlbums();
        const int row = int(titles().indexOf("Reverse"));
        const QModelIndex tile = grid()->model()->index(row, 0);
        grid()->setCurrentIndex(tile);
        if (how == "enter" || how == "ctrl+enter")
            QTest::keyClick(grid(), Qt::Key_Return, how == "enter" ? Qt::NoModifier : Qt::ControlModifier);
        else if (how == "double click")
            emit grid()->doubleClicked(tile);
        else
            for (QAction *action : grid()->actions())
                if (action->text() == how)
                    action->trigger();
        QFETCH(QStringList, queue);
        QTRY_COMPARE(f.server.queue(), queue);
        QTEST(f.server.statusValue("state"), "state");
    }

    // Opening the tab asks for the covers on screen and one screen more, nothing past them; a
    // second window shows them from the thumbnail files without asking again.
    void onlyVisibleCoversAsked()
    {
        QVERIFY(QDir(CoverFetcher::coverDirectory()).removeRecursively());
        f.window->resize(760, 640);
        const qsizetype before = readFile(f.server.logFile()).size();
        showAlbums();
        QTRY_VERIFY(grid()->isVisible());
        QList<int> onScreen;
        for (int row = 0; row < grid()->model()->rowCount(); ++row)
            if (grid()->viewport()->rect().intersects(grid()->visualRect(grid()->model()->index(row, 0))))
                onScreen << row;
        QVERIFY(onScreen.size() > 4 && onScreen.size() * 2 < grid()->model()->rowCount());
        QStringList expected;
        for (int row = 0; row < onScreen.size() * 2; ++row)
            expected << qobject_cast<AlbumGridModel *>(grid()->model())->albumAt(row).firstFile;
        QTRY_COMPARE_WITH_TIMEOUT(askedCovers(before).size(), expected.size(), 20000);
        QStringList asked = askedCovers(before);  // several workers: in about that order
        asked.sort();
        expected.sort();
        QCOMPARE(asked, expected);
        // A cover shows instead of the placeholder the first tile (no tags, no cover) keeps.
        const auto picture = [this](const QString &title) {
            return grid()->model()->index(int(titles().indexOf(title)), 0).data(Qt::DecorationRole).value<QPixmap>().toImage();
        };
        QTRY_VERIFY(picture("Bulk Album 0001") != picture(""));
        QVERIFY(QFileInfo::exists(CoverFetcher::thumbnailPath("Bulk Artist 001", "Bulk Album 0001")));
        for (int row = 0; row < expected.size(); ++row) {  // the first screens' covers all kept
            const AlbumSummary &album = qobject_cast<AlbumGridModel *>(grid()->model())->albumAt(row);
            if (album.firstFile.startsWith("Bulk/"))
                QTRY_VERIFY(QFileInfo::exists(CoverFetcher::thumbnailPath(album.artist, album.album)));
        }
        grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
        QTRY_VERIFY(!askedCovers(before).filter("Misc/Reverse/").isEmpty());
        f.close();
        QVERIFY(f.open() && f.connect());
        const qsizetype reopened = readFile(f.server.logFile()).size();
        f.window->resize(760, 640);
        showAlbums();
        QTRY_VERIFY(picture("Bulk Album 0001") != picture(""));
        QCOMPARE(askedCovers(reopened).filter("Bulk/"), QStringList());  // only albums without a cover
    }

    // The collection tab by another tag: its values, then a value's albums and an album's
    // tracks, as mpd's own lists have them (by name; songs without the tag aside).
    void browseByTag_data()
    {
        QTest::addColumn<int>("grouping");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("album");
        QTest::addRow("genre") << 2 << "genre" << "Rock" << "Greatest Hits";
        QTest::addRow("composer") << 3 << "composer" << "Zed Composer" << "Reverse";
        QTest::addRow("year") << 4 << "date" << "1971" << "Granite";
        QTest::addRow("album artist, else artist") << 1 << "albumartist" << "Turnabout Crew" << "Reverse";
    }
    void browseByTag()
    {
        QFETCH(int, grouping); QFETCH(QString, tag); QFETCH(QString, value); QFETCH(QString, album);
        const auto sorted = [](QStringList list) { list.removeAll(""); list.sort(); return list; };
        f.widget<QTabWidget>("tabWidget")->setCurrentWidget(f.widget("tabCollection"));
        f.widget<QComboBox>("collectionGrouping")->setCurrentIndex(grouping);
        QTRY_COMPARE(sorted(f.rows("artistList")), sorted(f.server.mpc({"list", tag})));
        QVERIFY(f.click("artistList", value));
        QCOMPARE(sorted(f.rows("albumList")), sorted(f.server.mpc({"list", "album", tag, value})));
        QVERIFY(f.click("albumList", album));
        QCOMPARE(f.rows("trackList"), f.server.mpc({"-f", "%title%", "find", tag, value, "album", album}));
    }

    void tabKeys()
    {
        const auto *tabs = f.widget<QTabWidget>("tabWidget");
        const QStringList expected = {"Playlist", "Collection", "Albums", "File browser", "Playlists"};
        for (int key = 0; key < 5; ++key) {
            QTest::keyClick(f.window.get(), Qt::Key(Qt::Key_1 + key), Qt::ControlModifier);
            QCOMPARE(tabs->tabText(tabs->currentIndex()).remove('&'), expected[key]);
        }
    }
};

TUNELOOM_TEST_MAIN(TestAlbums)
#include "tst_albums.moc"
