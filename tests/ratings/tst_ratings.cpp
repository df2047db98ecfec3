// Ratings and play counts on a real mpd with a sticker database: what the keys, menus and stars
// set is what the server keeps (as mpc reads it back), other clients' changes show, plays count
// once per play, and a server without stickers leaves the controls disabled and the link up.
#include "testmain.h"
#include "windowfixture.h"

#include "player/playtracker.h"
#include "playlist/songmodel.h"
#include "ratings/ratingcontroller.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStandardItemModel>
#include <QTableView>

namespace {
const QString granite = "Music/Rock/Classic/The Stones Of Time/Granite";
const QStringList graniteSongs{granite + "/01 First Stone.flac", granite + "/02 Second Stone.flac",
                               granite + "/03 Third Stone.flac"};
const QString rootSong = "Root Song.flac";  // 150 s: played past 75 s
}  // namespace

class TestRatings : public QObject
{
    Q_OBJECT
    WindowFixture f;

    QString sticker(const QString &uri, const QString &name) const
    {
        return f.server.mpc({"sticker", uri, "get", name}).value(0);
    }
    QAction *ratingAction(const QWidget *owner, const QString &text) const
    {
        for (QAction *action : owner->actions()) {
            if (action->menu() && action->text() == "Rating")
                return ratingAction(action->menu(), text);
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    QTableView *playlist() const { return f.widget<QTableView>("playlistTableview"); }
    int plays() const { return sticker(rootSong, "playCount").section('=', 1).toInt(); }
    // Plays the root song from `second` and waits until the panel has shown it past `until`.
    void playRootSongFrom(int second, int until) const
    {
        f.server.send(QString("seekcur %1").arg(second));
        f.server.send("pause 0");
        const auto *progress = f.widget<QLabel>("lblSongProgress");
        QTRY_VERIFY_WITH_TIMEOUT(progress->text().startsWith(QmpdSong::formatTime(until + 1)), 8000);
        QVERIFY(f.settle());
    }

private slots:
    void initTestCase() { QVERIFY2(f.startServer(), qPrintable(f.server.errorString())); }
    void init()
    {
        for (const QString &name : QStringList{"rating", "playCount", "lastPlayed"})
            for (const QString &line : f.server.command("sticker find song \"\" " + name).filter(QRegularExpression("^file: ")))
                QVERIFY(f.server.send(QString("sticker delete song \"%1\" %2").arg(line.mid(6), name)));
        QVERIFY(f.open() && f.server.add({granite}) && f.server.send("play 0") && f.server.send("pause 1") && f.connect());
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    }
    void cleanup() { QCOMPARE(f.close(), QStringList()); }

    // how: "key|N" (Ctrl+Alt+N), "menu|VIEW|ROWS|ENTRY", "click|STAR|ROW"; before: a rating another
    // client set on the songs first.
    void ratingsReachTheServer_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("rated");
        QTest::addColumn<QString>("expected");
        QTest::addRow("Ctrl+Alt+4, the playing song") << "key|4" << "" << graniteSongs.mid(0, 1) << "rating=8";
        QTest::addRow("Ctrl+Alt+0 clears") << "key|0" << "6" << graniteSongs.mid(0, 1) << "";
        QTest::addRow("playlist menu, two rows") << "menu|playlistTableview|1,2|3 stars" << "" << graniteSongs.mid(1) << "rating=6";
        QTest::addRow("second star clicked") << "click|2|1" << "" << graniteSongs.mid(1, 1) << "rating=4";
        QTest::addRow("a half star clicked whole") << "click|4|0" << "7" << graniteSongs.mid(0, 1) << "rating=8";
        QTest::addRow("its rating clicked again clears") << "click|3|0" << "6" << graniteSongs.mid(0, 1) << "";
        QTest::addRow("album menu: the whole album") << "menu|albumList||5 stars" << "" << graniteSongs << "rating=10";
    }
    void ratingsReachTheServer()
    {
        QFETCH(QString, how); QFETCH(QString, before); QFETCH(QStringList, rated); QFETCH(QString, expected);
        const QStringList parts = how.split('|');
        const auto *model = playlist()->model();
        if (!before.isEmpty()) {
            for (const QString &file : rated)
                f.server.mpc({"sticker", file, "set", "rating", before});
            QTRY_COMPARE(model->index(0, SongModel::Rating).data(SongModel::RatingRole).toInt(), before.toInt());
        }
        if (parts[0] == "key") {
            QTest::keyClick(playlist(), Qt::Key(Qt::Key_0 + parts[1].toInt()), Qt::ControlModifier | Qt::AltModifier);
        } else if (parts[0] == "click") {
            const QModelIndex cell = model->index(parts[2].toInt(), SongModel::Rating);
            playlist()->scrollTo(cell);
            const QRect rect = playlist()->visualRect(cell);
            const int star = rect.height() - 4;  // as Stars draws them
            QTest::mouseClick(playlist()->viewport(), Qt::LeftButton, {},
                              QPoint(rect.left() + 2 + star * (parts[1].toInt() - 1) + star / 2, rect.center().y()));
        } else if (parts[1] == "albumList") {
            f.widget<QTabWidget>("tabWidget")->setCurrentWidget(f.widget("tabCollection"));
            QVERIFY(f.click("artistList", "The Stones Of Time") && f.click("albumList", "Granite"));
        } else {
            playlist()->clearSelection();
            for (const QString &row : parts[2].split(','))
                playlist()->selectionModel()->select(model->index(row.toInt(), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        if (parts[0] == "menu") {
            QAction *action = ratingAction(f.widget(qPrintable(parts[1])), parts[3]);
            QVERIFY(action && action->isEnabled());
            action->trigger();
        }
        QVERIFY(f.settle());
        for (const QString &file : graniteSongs)
            QCOMPARE(sticker(file, "rating"), rated.contains(file) ? expected : QString());
    }

    void anotherClientsRatingShows()
    {
        f.server.mpc({"sticker", graniteSongs.at(0), "set", "rating", "7"});
        const auto *stars = f.widget<QLabel>("nowPlayingRating");
        QTRY_COMPARE(stars->accessibleName(), "4 stars");
        QCOMPARE(playlist()->model()->index(0, SongModel::Rating).data(SongModel::RatingRole).toInt(), 7);
        QCOMPARE(playlist()->model()->index(1, SongModel::Rating).data(SongModel::RatingRole).toInt(), -1);
    }

    // The played mark, and that one play counts once: rows of (song id, seconds, stopped) steps.
    void playedMark_data()
    {
        QTest::addColumn<QList<QList<int>>>("steps");
        QTest::addColumn<int>("counted");
        QTest::addRow("just under half") << QList<QList<int>>{{1, 0}, {1, 75}} << 0;
        QTest::addRow("just over half") << QList<QList<int>>{{1, 0}, {1, 76}} << 1;
        QTest::addRow("long song: 240 s") << QList<QList<int>>{{2, 240}} << 0;
        QTest::addRow("long song: 241 s") << QList<QList<int>>{{2, 241}} << 1;
        QTest::addRow("30 s song, to its end") << QList<QList<int>>{{3, 30}} << 0;
        QTest::addRow("paused, sought back, past again") << QList<QList<int>>{{1, 80}, {1, 80}, {1, 10}, {1, 90}} << 1;
        QTest::addRow("repeated after its end") << QList<QList<int>>{{1, 80}, {1, 148}, {1, 0}, {1, 80}} << 2;
        QTest::addRow("sought back from near its end") << QList<QList<int>>{{1, 80}, {1, 140}, {1, 0}, {1, 80}} << 1;
        QTest::addRow("stopped, played again") << QList<QList<int>>{{1, 80}, {1, 0, 1}, {1, 80}} << 2;
        QTest::addRow("another song, then back") << QList<QList<int>>{{1, 80}, {4, 80}, {1, 80}} << 3;
    }
    void playedMark()
    {
        QFETCH(QList<QList<int>>, steps); QFETCH(int, counted);
        const QmpdSong songs[] = {{}, {1, 150, "a", "t", "1", "one", "", ""}, {2, 600, "a", "t", "1", "long", "", ""},
                                  {3, 30, "a", "t", "1", "short", "", ""}, {4, 150, "a", "t", "1", "four", "", ""}};
        PlayTracker tracker;
        int seen = 0;
        for (const QList<int> &step : steps)
            seen += tracker.observe(songs[step[0]], step[1], step.value(2) == 1);
        QCOMPARE(seen, counted);
    }

    // Against the real server: the count and the time, once per play, and again for a repeat.
    void playsCountOnTheServer()
    {
        QVERIFY(f.server.send("clear") && f.server.add({rootSong}) && f.server.send("play 0") && f.server.send("pause 1"));
        QVERIFY(f.settle());
        const qint64 start = QDateTime::currentSecsSinceEpoch();
        playRootSongFrom(74, 76);
        QTRY_COMPARE(plays(), 1);
        const qint64 lastPlayed = sticker(rootSong, "lastPlayed").section('=', 1).toLongLong();
        QVERIFY(lastPlayed >= start && lastPlayed <= QDateTime::currentSecsSinceEpoch());
        f.server.send("pause 1");
        playRootSongFrom(10, 10);
        playRootSongFrom(80, 80);
        // A new connection to the same play.
        f.widget<QAction>("actionDisconnect")->trigger();
        QVERIFY(f.connect());
        QVERIFY(f.settle());
        QCOMPARE(plays(), 1);
        // Repeated: it runs to its end and starts again.
        QVERIFY(f.server.send("repeat 1") && f.server.send("single 1"));
        playRootSongFrom(148, 0);
        playRootSongFrom(76, 77);
        QTRY_COMPARE(plays(), 2);
    }

    void withoutStickersDisabled()
    {
        QCOMPARE(f.close(), QStringList());
        MpdFixture::Options options;
        options.stickers = false;
        WindowFixture plain(options);
        QVERIFY(plain.startServer() && plain.open() && plain.server.add({rootSong}) && plain.server.send("play 0")
                && plain.server.send("seekcur 80") && plain.connect());
        QAction *key = ratingAction(plain.window.get(), "4 stars");
        QAction *menu = ratingAction(plain.widget("playlistTableview"), "4 stars");
        for (QAction *action : {key, menu}) {
            QVERIFY(action && !action->isEnabled());
            QCOMPARE(action->toolTip(), RatingController::NoStickersText);
        }
        QCOMPARE(plain.widget<QLabel>("nowPlayingRating")->toolTip(), RatingController::NoStickersText);
        // Played past the mark and rated by key: nothing goes to the server, the link stays.
        QTest::keyClick(plain.widget("playlistTableview"), Qt::Key_4, Qt::ControlModifier | Qt::AltModifier);
        const auto *progress = plain.widget<QLabel>("lblSongProgress");
        QTRY_VERIFY_WITH_TIMEOUT(progress->text().startsWith("1:22"), 8000);
        QVERIFY(plain.settle());
        QVERIFY(WindowTesting::connection(plain.window.get()));
        QCOMPARE(plain.close(), QStringList());
        QVERIFY(f.open());
    }

    // A layout saved before the rating and play columns existed keeps its order and widths.
    void oldColumnLayoutKept()
    {
        QCOMPARE(f.close(), QStringList());
        QStandardItemModel oldColumns(0, SongModel::File + 1);
        QTableView old;
        old.setModel(&oldColumns);
        old.horizontalHeader()->moveSection(SongModel::File, 0);
        old.horizontalHeader()->resizeSection(SongModel::Artist, 123);
        SettingsStore()->clear();  // as that version left it
        SettingsStore()->setValue(SettingsKey::PlaylistColumns, old.horizontalHeader()->saveState());
        QVERIFY(f.open() && f.connect());
        const QHeaderView *header = playlist()->horizontalHeader();
        QTRY_COMPARE(header->sectionSize(SongModel::Artist), 123);
        QCOMPARE(header->visualIndex(SongModel::File), 0);
        QCOMPARE(QList<bool>({header->isSectionHidden(SongModel::Rating), header->isSectionHidden(SongModel::Plays),
                              header->isSectionHidden(SongModel::LastPlayed)}), QList<bool>({false, true, true}));
    }
};

TUNELOOM_TEST_MAIN(TestRatings)
#include "tst_ratings.moc"
