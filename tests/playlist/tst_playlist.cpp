// The playlist's model, sort proxy and row painter; the window's playlist tab against a real server.
#include "playlist/playlistitemdelegate.h"
#include "core/qmpd.h"
#include "playlist/songmodel.h"
#include "playlist/songsortfiltermodel.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QSlider>
#include <QTableView>

#include <csignal>
#include <thread>

namespace {

QmpdSong *song(int id, const QString &title, const QString &file, int seconds = 65)
{
    return new QmpdSong(id, seconds, "Artist", title, "3/12", file, "2001", "Album");
}

// Runs work on this thread while another kills mpd delayMs into it; true if the kill came first.
// Kills mpd delayMs into work, which waits for what it started; true when the kill came first.
bool killDuring(MpdFixture &mpd, qint64 delayMs, const std::function<void()> &work)
{
    std::atomic<bool> returned = false, killedFirst = false;
    std::thread killer([&, pid = pid_t(mpd.pid())] {
        QThread::msleep(delayMs);
        ::kill(pid, SIGKILL);
        killedFirst = !returned;
    });
    work();
    returned = true;
    killer.join();
    mpd.kill();
    return killedFirst;
}

}  // namespace

class TestPlaylist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
        library = f.server.mpc({"listall"});
    }

    void init() { QVERIFY(WindowFixture::resetHome()); }
    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    void songModel_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QStringList>("texts");  // of that column, sorted by it
        QTest::addRow("title: base name of untitled songs") << int(SongModel::Title) << Qt::AscendingOrder << QStringList{"Bravo", "Song", "Xray"};
        QTest::addRow("title descending") << int(SongModel::Title) << Qt::DescendingOrder << QStringList{"Xray", "Song", "Bravo"};
        QTest::addRow("file: name, dots kept") << int(SongModel::File) << Qt::AscendingOrder << QStringList{"01 - x.flac", "Bravo.b.mp3", "Xray.ogg"};
        QTest::addRow("duration, over an hour") << int(SongModel::Duration) << Qt::AscendingOrder << QStringList{"0:00", "1:05", "62:05"};
    }

    void songModel()
    {
        QFETCH(int, column); QFETCH(Qt::SortOrder, order);
        SongModel model;  // with the proxy's sorting, texts and mark
        model.addItem(song(1, "Song", "music/dir/01 - x.flac", 65));
        model.addItem(song(2, "", "music/Bravo.b.mp3", 0));
        model.addItem(song(2, "", "Xray.ogg", 3725));  // the same song id twice
        QStringList columns;  // header=the first row's text
        for (int c = 0; c < model.columnCount(); ++c) {
            columns << model.headerData(c, Qt::Horizontal).toString() + '=' + model.index(0, c).data().toString();
            QCOMPARE(model.index(1, c).data(SongModel::FileRole).toString(), "music/Bravo.b.mp3");
        }
        QCOMPARE(columns, QStringList({"Title=Song", "Artist=Artist", "Album=Album", "Track=3/12", "Date=2001", "Duration=1:05", "File=01 - x.flac",
                                       "Rating=", "Plays=", "Last played="}));  // no stickers given
        SongSortFilterModel proxy;
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        proxy.setSourceModel(&model);
        proxy.sort(column, order);
        QTEST(f.rows(&proxy, column), "texts");
        QCOMPARE(model.onWhichRow(2), 1);  // the first of duplicates
        QCOMPARE(model.onWhichRow(9), -1);
        // One notice per row whose mark changes, for the whole row and only the mark.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        const QString none = "false false false";
        for (const auto &[row, marks, announced] : QList<std::tuple<int, QString, QList<int>>>{
                     {1, "false true false", {1}}, {0, "true false false", {0, 1}}, {0, "true false false", {}}, {3, none, {0}}, {-1, none, {}}}) {
            changed.clear();
            model.setNowPlaying(row);
            QCOMPARE(f.rows(&model, 0, SongModel::NowPlayingRole).join(' '), marks);
            QList<int> rows;
            for (const QList<QVariant> &signal : std::as_const(changed)) {
                rows << signal[0].toModelIndex().row();
                QVERIFY(signal[1].toModelIndex() == model.index(rows.last(), SongModel::ColumnCount - 1)
                        && signal[2].value<QList<int>>() == QList<int>{SongModel::NowPlayingRole});
            }
            std::sort(rows.begin(), rows.end());
            QCOMPARE(rows, announced);
        }
    }

    void painting_data()
    {
        QTest::addColumn<QColor>("npColor");  // what is set; transparent and invalid are ignored
        QTest::addColumn<int>("selected");  // 2: in an inactive window
        QTest::addColumn<QColor>("background");  // invalid: not playing, painted as the standard delegate does
        const QColor initial(160, 30, 30), blue(0, 0, 200);
        QTest::addRow("ordinary row, selected") << blue << 1 << QColor();
        QTest::addRow("initial colour") << QColor() << 0 << initial;
        QTest::addRow("transparent ignored") << QColor(Qt::transparent) << 0 << initial;
        QTest::addRow("chosen colour") << blue << 0 << blue;
        QTest::addRow("selected: highlight") << blue << 1 << QColor(20, 200, 20);
        QTest::addRow("selected, inactive window") << blue << 2 << QColor(20, 20, 200);
    }

    void painting()
    {
        QFETCH(QColor, npColor); QFETCH(int, selected); QFETCH(QColor, background);
        SongModel model;
        for (int id : {1, 2})
            model.addItem(song(id, "Song", "a.flac"));
        model.setNowPlaying(background.isValid() ? 0 : 1);
        PlaylistItemDelegate delegate;
        delegate.setNpColor(npColor);
        QStyleOptionViewItem option;
        option.rect = QRect(5, 5, 200, 24);
        option.state = QStyle::State_Enabled | QStyle::State_Active | (selected ? QStyle::State_Selected : QStyle::State_None);
        option.palette.setColor(QPalette::Active, QPalette::Highlight, QColor(20, 200, 20));
        option.palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(20, 20, 200));
        option.palette.setCurrentColorGroup(selected == 2 ? QPalette::Inactive : QPalette::Active);
        const auto render = [&](const QAbstractItemDelegate &painter) {
            QImage image(option.rect.size() + QSize(10, 10), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::black);
            QPainter on(&image);
            painter.paint(&on, option, model.index(0, 0));
            return image;
        };
        const QImage painted = render(delegate);
        if (!background.isValid())
            QCOMPARE(painted, render(QStyledItemDelegate()));
        else
            for (const QPoint &at : {option.rect.topLeft(), option.rect.bottomRight(), option.rect.bottomRight() + QPoint(1, 1)})
                QCOMPARE(painted.pixel(at), option.rect.contains(at) ? background.rgb() : qRgb(0, 0, 0));
        const QFontMetrics metrics(QFont("Arial", 8, QFont::Bold, true));  // elided by the average character width
        const int budget = 4 + metrics.horizontalAdvance("...") + 3 * metrics.averageCharWidth();
        QCOMPARE(PlaylistItemDelegate::elideNowPlayingText("abcdefgh", metrics, budget), "ab...");
        QCOMPARE(PlaylistItemDelegate::elideNowPlayingText("abcdefgh", metrics, 4), "...");
    }

    void editing_data()
    {
        // The queue: the first ten songs and the first again. Steps: "N" click row N, "+N" add it, ">N" extend
        // to it, "2xN" double-click it; "cut", "paste", "delete", "backspace", "button" (remove selected), "clear",
        // "enter", "space", "keypad", "unfocus", "gone" (song 2 leaves the server's database).
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("queue");  // empty: unchanged; {-1}: empty
        QTest::addColumn<QString>("song");      // the position played; empty: stopped
        QTest::addColumn<QString>("banner");
        const QList<int> cut1 = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::addRow("cut") << QStringList{"+5", "+2", "+7", "cut"} << QList<int>{0, 1, 3, 4, 6, 8, 9, 10} << "" << "Cut 3 songs to clipboard";
        QTest::addRow("cut, paste after one row") << QStringList{"+5", "+2", "+7", "cut", "0", "paste"}
                << QList<int>{0, 2, 5, 7, 1, 3, 4, 6, 8, 9, 10} << "" << "Pasted 3 songs from clipboard!";
        QTest::addRow("a paste empties the clipboard") << QStringList{"+5", "cut", "0", "paste", "3", "paste"}
                << QList<int>{0, 5, 1, 2, 3, 4, 6, 7, 8, 9, 10} << "" << "Pasted 1 songs from clipboard!";
        QTest::addRow("paste on two rows") << QStringList{"1", "cut", "+0", "+3", "paste"} << cut1 << "" << "Cut 1 songs to clipboard";
        QTest::addRow("a refused paste keeps the clipboard") << QStringList{"1", "cut", "paste", "3", "paste"}
                << QList<int>{0, 2, 3, 4, 1, 5, 6, 7, 8, 9, 10} << "" << "Pasted 1 songs from clipboard!";
        QTest::addRow("a paste the server refuses moves nothing") << QStringList{"2", "cut", "gone", "0", "paste"} << QList<int>{0, 1, 3, 4, 5, 6, 7, 8, 9, 10} << "" << "";
        QTest::addRow("a cut of nothing empties it") << QStringList{"1", "cut", "cut", "3", "paste"} << cut1 << "" << "No songs selected";
        for (const char *how : {"delete", "backspace", "button"}) {
            QTest::addRow("%s removes", how) << QStringList{"3", "+1", how} << QList<int>{0, 2, 4, 5, 6, 7, 8, 9, 10} << "" << "Removed 2 songs from playlist";
            QTest::addRow("%s again: nothing selected", how) << QStringList{"3", how, how} << QList<int>{0, 1, 2, 4, 5, 6, 7, 8, 9, 10} << "" << "No songs selected";
        }
        QTest::addRow("clear all") << QStringList{"3", "clear"} << QList<int>{-1} << "" << "";
        QTest::addRow("enter plays the last selected") << QStringList{"+2", "+7", "+5", "enter"} << QList<int>() << "5" << "";
        QTest::addRow("space plays the last selected") << QStringList{"+2", "+7", "+5", "space"} << QList<int>() << "5" << "";
        QTest::addRow("keypad enter, other order") << QStringList{"+5", "+7", "+2", "keypad"} << QList<int>() << "2" << "";
        QTest::addRow("block made upwards") << QStringList{"5", ">2", "enter"} << QList<int>() << "5" << "";
        QTest::addRow("enter, nothing selected") << QStringList{"enter"} << QList<int>() << "" << "";
        QTest::addRow("enter, list without focus") << QStringList{"3", "unfocus", "enter"} << QList<int>() << "" << "";
        QTest::addRow("double click plays that row's song") << QStringList{"2x10"} << QList<int>() << "10" << "";
    }

    void editing()
    {
        QFETCH(QStringList, steps); QFETCH(QList<int>, queue); QFETCH(QString, song); QFETCH(QString, banner);
        const QStringList before = library.mid(0, 10) << library.at(0);
        const QString gone = f.musicDir() + '/' + before[2];
        const auto restore = qScopeGuard([&] { if (QFile::rename(gone + "~", gone)) f.server.updateDatabase(); });
        QVERIFY(openWindow(before, f.server));
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QWidget *target = view();
        target->setFocus();
        const QMap<QString, QKeySequence> keys = {{"delete", Qt::Key_Delete}, {"backspace", Qt::Key_Backspace}, {"enter", Qt::Key_Return},
                {"space", Qt::Key_Space}, {"keypad", Qt::Key_Enter}, {"cut", QKeySequence::Cut}, {"paste", QKeySequence::Paste}};
        for (const QString &step : steps) {
            const Qt::KeyboardModifiers modifiers = step[0] == '+' ? Qt::ControlModifier : step[0] == '>' ? Qt::ShiftModifier : Qt::NoModifier;
            const QRect cell = view()->visualRect(view()->model()->index(step.mid(2).toInt(), 1));
            if (keys.contains(step))
                QTest::keySequence(target, keys.value(step));
            else if (step == "button" || step == "clear")
                f.widget<QPushButton>(step == "clear" ? "playlistDelAllButton" : "playlistDelSelButton")->click();
            else if (step == "gone")
                QVERIFY(QFile::rename(gone, gone + "~") && f.server.updateDatabase());
            else if (step == "unfocus")
                (target = f.widget("volumeSlider"))->setFocus();
            else if (step.startsWith("2x"))
                for (const auto click : {QTest::MouseClick, QTest::MouseDClick})
                    QTest::mouseEvent(click, view()->viewport(), Qt::LeftButton, {}, cell.center());
            else
                QVERIFY(f.click(view(), step.mid(modifiers ? 1 : 0).toInt(), modifiers));
            QVERIFY(f.settle());
        }
        QStringList expected = queue.isEmpty() ? before : QStringList();
        for (int position : queue)
            expected << before.value(position);
        expected.removeAll(QString());
        QCOMPARE(f.server.queue(), expected);
        QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), expected, 5000);
        QCOMPARE(f.server.statusValue("song"), song);
        QCOMPARE(f.server.statusValue("state"), song.isEmpty() ? "stop" : "play");
        QTRY_COMPARE_WITH_TIMEOUT(int(f.rows("playlistTableview", 0, SongModel::NowPlayingRole).indexOf("true")), song.isEmpty() ? -1 : song.toInt(), 5000);
        QVERIFY(banner.isEmpty() ? f.banners().filter("Pasted").isEmpty() : f.bannerShows(banner));
        QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), qsizetype(steps.contains("gone")), 5000);  // the refusal's
        expectedBoxes = f.closer->texts;
    }

    // The panel's state and progress as the server's status changes.
    void nowPlayingPanel()
    {
        QVERIFY(f.open() && f.server.add({"Root Song.flac", "Music/Music of the Night/01 Midnight.flac"}) && f.server.send("play 1"));
        QVERIFY(WindowTesting::connectWindow(f.window.get(), f.server.host(), f.server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(text("lblArtistSong"), "Night Choir - Midnight", 5000);
        QVERIFY(text("lblSongProgress").endsWith(" / 5:00"));  // the song's progress comes with it
        const auto *slider = f.widget<QSlider>("songProgressSlider");
        for (const auto &[command, title, seconds] : {std::tuple("status", "Now playing", -1), {"pause 1", "Paused", -1}, {"seekcur 65", "Paused", 65},
                                                      {"seekcur 299", "Paused", 299}, {"stop", "Stopped", -1}}) {
            QVERIFY(f.server.send(command));
            QTRY_COMPARE_WITH_TIMEOUT(f.widget<QGroupBox>("nowplayingGroup")->title(), title, 5000);
            if (seconds >= 0) {
                QTRY_COMPARE_WITH_TIMEOUT(text("lblSongProgress"), QTime(0, 0).addSecs(seconds).toString("m:ss") + " / 5:00", 5000);
                QCOMPARE(QPoint(slider->value(), slider->maximum()), QPoint(seconds, 300));
            }
        }
    }

    // The line under the playlist follows adds, the filter, the playing song and deletes.
    void queueTotals()
    {
        const QString granite = "Music/Rock/Classic/The Stones Of Time/Granite/0";  // 200, 180, 160 s
        QVERIFY(openWindow({granite + "1 First Stone.flac", granite + "2 Second Stone.flac", granite + "3 Third Stone.flac"}, f.server));
        const auto steps = {std::pair<QString, QString>{"", "3 songs, 0:09:00"},
                            {"filter second", "3 songs, 0:09:00; 1 shown"},
                            {"filter ", "3 songs, 0:09:00"},
                            {"play 1", ""},
                            {"pause 1", ""},
                            {"seekcur 30", "3 songs, 0:09:00; 0:05:10 left"},
                            {"delete 0", "2 songs, 0:05:40; 0:05:10 left"},
                            {"stop", "2 songs, 0:05:40"},
                            {"add Root Song.flac", "3 songs, 0:08:10"}};
        for (const auto &[step, text] : steps) {
            if (step.startsWith("filter "))
                f.widget<QLineEdit>("playlistFilter")->setText(step.mid(7));
            else if (!step.isEmpty())
                QVERIFY(f.server.send(step.startsWith("add ") ? "add \"" + step.mid(4) + '"' : step));
            if (!text.isEmpty())
                QTRY_COMPARE_WITH_TIMEOUT(this->text("queueTotals"), text, 5000);
        }
    }

    void longQueue_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char *fault : {"none", "kill during rebuild", "kill during paste"})
            QTest::addRow("%s", fault) << QString(fault);
    }

    // 16,000 songs (mpd's queue holds 16,384): more than one batch of additions carries, and the queue
    // comes in windows from a server whose output buffer cannot hold it whole.
    void longQueue()
    {
        QFETCH(QString, fault);
        constexpr int Songs = 16000;
        if (!longServer)
            longServer = TestLibrary::startSyntheticServer(longDir.path(), Songs, 4096);  // the whole queue does not fit its buffer
        MpdFixture &mpd = *longServer;
        QVERIFY(openWindow({"Synthetic"}, mpd));
        QCOMPARE(viewFiles().size(), Songs);
        if (fault == "kill during rebuild") {
            // A queue refilled by another client is fetched whole at once: kill a third into it.
            const auto refill = [&mpd] { return mpd.send("clear") && mpd.add({"Synthetic"}); };
            const auto fetched = [this] {
                QVERIFY(QTest::qWaitFor([&] { return !f.widget("controlFrame")->isEnabled() || viewFiles().size() == Songs; }, 20000));
            };
            QElapsedTimer clock;
            QVERIFY(refill());
            clock.start();
            fetched();
            const qint64 fetchMs = clock.elapsed();
            QVERIFY(mpd.send("clear"));
            QTRY_VERIFY_WITH_TIMEOUT(viewFiles().isEmpty(), 5000);
            QVERIFY(mpd.add({"Synthetic"}));
            QVERIFY2(killDuring(mpd, fetchMs / 3, fetched), "the fetch ended before the kill");
        } else {
            QVERIFY(mpd.send("shuffle"));
            const QStringList shuffled = mpd.queue();
            QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), shuffled, 20000);
            QVERIFY(f.click(view(), 1));
            view()->selectionModel()->select(QItemSelection(view()->model()->index(1, 0), view()->model()->index(Songs - 1, 0)),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QTest::keySequence(view(), QKeySequence::Cut);
            QVERIFY(f.settle());
            QCOMPARE(mpd.queue(), shuffled.mid(0, 1));
            QTRY_COMPARE_WITH_TIMEOUT(viewFiles().size(), 1, 20000);
            QVERIFY(f.click(view(), 0));
            const auto paste = [this] {
                QTest::keySequence(view(), QKeySequence::Paste);
                QVERIFY(QTest::qWaitFor([this] { return !f.widget("controlFrame")->isEnabled() || viewFiles().size() == Songs; }, 20000));
            };
            if (fault == "none") {
                paste();
                QCOMPARE(mpd.queue(), shuffled);
                QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), shuffled, 20000);
                return;
            }
            // A paste sends the songs in batches, then moves them: thousands of round trips.
            QVERIFY2(killDuring(mpd, 40, paste), "the paste ended before the kill");
        }
        f.verifyReconnectingWithoutBox();
        f.reconnectFromDialog(mpd);
        // A killed mpd saves no state: the window shows what the restarted one has.
        QCOMPARE(viewFiles(), mpd.queue());
        expectedBoxes = {"Connect"};
    }


private:
    bool openWindow(const QStringList &files, MpdFixture &mpd)
    {
        return f.open() && mpd.resetState() && mpd.add(files) && f.connect(mpd)
                && QTest::qWaitFor([&] { return viewFiles() == mpd.queue(); }, 5000);
    }

    QTableView *view() const { return f.widget<QTableView>("playlistTableview"); }
    QStringList viewFiles() const { return f.rows("playlistTableview", 0, SongModel::FileRole); }
    QString text(const char *label) const { return f.widget<QLabel>(label)->text(); }

    WindowFixture f;
    QStringList library;  // every song of the standard library, in mpd's order
    QTemporaryDir longDir;
    std::unique_ptr<MpdFixture> longServer;
    QStringList expectedBoxes;
};

TUNELOOM_TEST_MAIN(TestPlaylist)
#include "tst_playlist.moc"
