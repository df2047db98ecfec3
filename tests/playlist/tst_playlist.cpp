// The playlist: its model, sort proxy and row painter, and the window's playlist tab and
// now-playing panel against a real server, long queues and a server that dies mid-work included.
#include "playlistitemdelegate.h"
#include "qmpd.h"
#include "songmodel.h"
#include "songsortfiltermodel.h"
#include "testlibrary.h"
#include "testmain.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QAbstractProxyModel>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTableView>

#include <csignal>
#include <thread>

using Tester = QAbstractItemModelTester;

namespace {

const QString midnight = "Music/Music of the Night/01 Midnight.flac";  // Night Choir, 300 s

QmpdSong *song(int id, const QString &title, const QString &file, int seconds = 65)
{
    return new QmpdSong(id, seconds, "Artist", title, "3/12", file, "2001", "Album");
}

QList<int> marked(const QAbstractItemModel *model)
{
    QList<int> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 0).data(SongModel::NowPlayingRole).toBool())
            rows << row;
    return rows;
}

QImage render(const QAbstractItemDelegate &delegate, const QStyleOptionViewItem &option,
              const QModelIndex &index)
{
    QImage image(option.rect.size() + QSize(10, 10), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    delegate.paint(&painter, option, index);
    return image;
}

// Runs work on this thread while another kills mpd delayMs into it; true if the kill came first.
bool killDuring(MpdFixture &mpd, qint64 delayMs, const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> killedAt = -1;
    const pid_t pid = pid_t(mpd.pid());
    std::thread killer([&] {
        QThread::msleep(delayMs);
        ::kill(pid, SIGKILL);
        killedAt = clock.elapsed();
    });
    work();
    const qint64 returned = clock.elapsed();
    killer.join();
    mpd.kill();
    return killedAt >= 0 && killedAt < returned;
}

}  // namespace

class TestPlaylist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(WindowFixture::resetHome()); }
    void cleanup() { QCOMPARE(f.close(), expectedBoxes); expectedBoxes.clear(); }

    void displayText_data();
    void displayText();
    void modelEdits();
    void proxySorts_data();
    void proxySorts();
    void painting_data();
    void painting();
    void editing_data();
    void editing();
    void pasteOfVanishedSongsMovesNothing();
    void nowPlayingPanel();
    void playlistFollowsTheServer();
    void longQueue_data();
    void longQueue();

private:
    bool openWindow(const QStringList &files, MpdFixture &mpd);
    QTableView *view() const { return f.widget<QTableView>("playlistTableview"); }
    // The playlist model itself, also when the view shows it through a proxy.
    QAbstractItemModel *songModel() const
    {
        auto *proxy = qobject_cast<QAbstractProxyModel *>(view()->model());
        return proxy ? proxy->sourceModel() : view()->model();
    }
    QStringList viewFiles() const { return f.rows("playlistTableview", 0, SongModel::FileRole); }
    QString text(const char *label) const { return f.widget<QLabel>(label)->text(); }
    QString panelTitle() const { return f.widget<QGroupBox>("nowplayingGroup")->title(); }

    WindowFixture f;
    QStringList library;  // every song of the standard library, in mpd's order
    QTemporaryDir longDir;
    std::unique_ptr<MpdFixture> longServer;
    QStringList expectedBoxes;
};

void TestPlaylist::initTestCase()
{
    QVERIFY2(f.startServer(), qPrintable(f.server.errorString()));
    library = f.server.mpc({"listall"});
    QCOMPARE(library.size(), 19);
}

bool TestPlaylist::openWindow(const QStringList &files, MpdFixture &mpd)
{
    return f.open() && mpd.resetState() && mpd.add(files) && f.connect(mpd)
            && QTest::qWaitFor([&] { return viewFiles() == mpd.queue(); }, 5000);
}

void TestPlaylist::displayText_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QStringList>("texts");  // every column, left to right
    QTest::addRow("tagged") << "Song" << "music/dir/01 - x.flac" << 65
                            << QStringList{"Song", "Artist", "Album", "3/12", "2001", "1:05", "01 - x.flac"};
    QTest::addRow("untitled: base name, file keeps dots")
            << "" << "music/a.b.mp3" << 0 << QStringList{"a", "Artist", "Album", "3/12", "2001", "0:00", "a.b.mp3"};
    QTest::addRow("no directory, over an hour")
            << "" << "x.ogg" << 3725 << QStringList{"x", "Artist", "Album", "3/12", "2001", "62:05", "x.ogg"};
}

void TestPlaylist::displayText()
{
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(int, seconds);
    QFETCH(QStringList, texts);
    SongModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    model.addItem(song(1, title, file, seconds));
    QStringList shown, headers;
    for (int column = 0; column < model.columnCount(); ++column) {
        shown << model.index(0, column).data().toString();
        headers << model.headerData(column, Qt::Horizontal).toString();
        QCOMPARE(model.index(0, column).data(SongModel::FileRole).toString(), file);
        QVERIFY(!model.index(0, column).data(Qt::ToolTipRole).isValid());
    }
    QCOMPARE(shown, texts);
    QCOMPARE(headers, QStringList({"Title", "Artist", "Album", "Track", "Date", "Duration", "File"}));
}

void TestPlaylist::modelEdits()
{
    SongModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    for (int id : {7, 5, 5, 8})
        model.addItem(song(id, QString("Song %1").arg(model.rowCount()), "f.flac"));
    QCOMPARE(model.onWhichRow(5), 1);  // the first of duplicates
    QCOMPARE(model.onWhichRow(9), -1);
    for (int row : {-1, 4, 3, 0})
        model.removeItem(row);
    QCOMPARE(f.rows(&model), QStringList({"Song 1", "Song 2"}));
    // One notice per row whose mark changes, for the whole row and only the mark.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QList<std::pair<int, QList<int>>> steps = {{1, {1}}, {0, {0, 1}}, {0, {}}, {2, {0}}, {-1, {}}};
    for (const auto &[row, announced] : steps) {
        changed.clear();
        model.setNowPlaying(row);
        QCOMPARE(marked(&model), row == 0 || row == 1 ? QList<int>{row} : QList<int>{});
        QList<int> rows;
        for (const QList<QVariant> &signal : changed) {
            rows << signal[0].toModelIndex().row();
            QCOMPARE(signal[1].toModelIndex(), model.index(rows.last(), SongModel::ColumnCount - 1));
            QCOMPARE(signal[2].value<QList<int>>(), QList<int>{SongModel::NowPlayingRole});
        }
        std::sort(rows.begin(), rows.end());
        QCOMPARE(rows, announced);
    }
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    std::vector<std::unique_ptr<QmpdSong>> block;
    for (int i = 0; i < 10000; ++i) {
        block.emplace_back(song(i, QString("Block %1").arg(i), "b.flac"));
        if (i == 5000)
            block.emplace_back();  // dropped, not a row
    }
    model.addItems({});
    model.addItems(std::move(block));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0][1].toInt(), 2);
    QCOMPARE(inserted[0][2].toInt(), 10001);
    QCOMPARE(model.index(5003, 0).data().toString(), "Block 5001");
}

void TestPlaylist::proxySorts_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("texts");
    QTest::addRow("title, fallback included") << int(SongModel::Title) << Qt::AscendingOrder << QStringList{"Bravo", "Charlie", "Delta"};
    QTest::addRow("title descending") << int(SongModel::Title) << Qt::DescendingOrder << QStringList{"Delta", "Charlie", "Bravo"};
    QTest::addRow("file") << int(SongModel::File) << Qt::AscendingOrder << QStringList{"2.flac", "4.flac", "Charlie.flac"};
}

void TestPlaylist::proxySorts()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, texts);
    SongModel model;
    model.addItem(song(1, "Delta", "z/4.flac"));
    model.addItem(song(2, "", "a/Charlie.flac"));
    model.addItem(song(3, "Bravo", "x/2.flac"));
    SongSortFilterModel proxy;
    Tester tester(&proxy, Tester::FailureReportingMode::QtTest);
    proxy.setSourceModel(&model);
    proxy.sort(column, order);
    QCOMPARE(f.rows(&proxy, column), texts);
}

void TestPlaylist::painting_data()
{
    QTest::addColumn<QColor>("npColor");  // what is set; transparent and invalid are ignored
    QTest::addColumn<bool>("playing");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("group");
    QTest::addColumn<QColor>("background");  // invalid: painted as the standard delegate does
    const int plain = QStyle::State_Enabled | QStyle::State_Active;
    const int selected = plain | QStyle::State_Selected;
    const QColor initial(160, 30, 30), blue(0, 0, 200);
    QTest::addRow("ordinary row") << blue << false << plain << int(QPalette::Active) << QColor();
    QTest::addRow("ordinary row, selected") << blue << false << selected << int(QPalette::Active) << QColor();
    QTest::addRow("initial colour") << QColor() << true << plain << int(QPalette::Active) << initial;
    QTest::addRow("transparent ignored") << QColor(Qt::transparent) << true << plain << int(QPalette::Active) << initial;
    QTest::addRow("chosen colour") << blue << true << plain << int(QPalette::Active) << blue;
    QTest::addRow("selected: highlight") << blue << true << selected << int(QPalette::Active) << QColor(20, 200, 20);
    QTest::addRow("selected, inactive window") << blue << true << selected << int(QPalette::Inactive) << QColor(20, 20, 200);
}

void TestPlaylist::painting()
{
    QFETCH(QColor, npColor);
    QFETCH(bool, playing);
    QFETCH(int, state);
    QFETCH(int, group);
    QFETCH(QColor, background);
    SongModel model;
    model.addItem(song(1, "Song 0", "a.flac"));
    model.addItem(song(2, "Song 1", "b.flac"));
    model.setNowPlaying(playing ? 0 : 1);
    PlaylistItemDelegate delegate;
    delegate.setNpColor(npColor);
    QStyleOptionViewItem option;
    option.rect = QRect(5, 5, 200, 24);
    option.state = QStyle::State(state);
    option.palette.setColor(QPalette::Active, QPalette::Highlight, QColor(20, 200, 20));
    option.palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(20, 20, 200));
    option.palette.setCurrentColorGroup(QPalette::ColorGroup(group));
    const QImage painted = render(delegate, option, model.index(0, 0));
    if (!background.isValid()) {
        QCOMPARE(painted, render(QStyledItemDelegate(), option, model.index(0, 0)));
        return;
    }
    QCOMPARE(painted.pixel(option.rect.topLeft()), background.rgb());
    QCOMPARE(painted.pixel(option.rect.bottomRight()), background.rgb());
    QCOMPARE(painted.pixel(option.rect.bottomRight() + QPoint(1, 1)), qRgb(0, 0, 0));
    QImage expected(1, 1, QImage::Format_ARGB32_Premultiplied);
    // Cut by the average character width; a cell too narrow for one character shows the dots.
    const QFontMetrics metrics(QFont("Arial", 8, QFont::Bold, true), &expected);
    const int budget = 4 + metrics.horizontalAdvance("...") + 3 * metrics.averageCharWidth();
    QCOMPARE(PlaylistItemDelegate::elideNowPlayingText("abcdefgh", metrics, budget), "ab...");
    QCOMPARE(PlaylistItemDelegate::elideNowPlayingText("abcdefgh", metrics, 4), "...");
}

void TestPlaylist::editing_data()
{
    // The queue starts as the first ten songs and the first again (positions 0..10). Steps:
    // "N" click row N, "+N" add it, ">N" extend to it, "2xN" double-click it; "cut", "paste",
    // "delete", "backspace", "button" (remove selected), "enter", "space", "keypad", "unfocus".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("queue");  // empty: unchanged
    QTest::addColumn<QString>("song");      // the position played; empty: stopped
    QTest::addColumn<QString>("banner");
    const QList<int> cut1 = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    QTest::addRow("cut") << QStringList{"+5", "+2", "+7", "cut"} << QList<int>{0, 1, 3, 4, 6, 8, 9, 10} << "" << "Cut 3 songs to clipboard";
    QTest::addRow("cut, paste after one row") << QStringList{"+5", "+2", "+7", "cut", "0", "paste"}
            << QList<int>{0, 2, 5, 7, 1, 3, 4, 6, 8, 9, 10} << "" << "Pasted 3 songs from clipboard!";
    QTest::addRow("a paste empties the clipboard") << QStringList{"+5", "cut", "0", "paste", "3", "paste"}
            << QList<int>{0, 5, 1, 2, 3, 4, 6, 7, 8, 9, 10} << "" << "Pasted 1 songs from clipboard!";
    QTest::addRow("paste without a row") << QStringList{"1", "cut", "paste"} << cut1 << "" << "Cut 1 songs to clipboard";
    QTest::addRow("paste on two rows") << QStringList{"1", "cut", "+0", "+3", "paste"} << cut1 << "" << "Cut 1 songs to clipboard";
    QTest::addRow("a refused paste keeps the clipboard") << QStringList{"1", "cut", "paste", "3", "paste"}
            << QList<int>{0, 2, 3, 4, 1, 5, 6, 7, 8, 9, 10} << "" << "Pasted 1 songs from clipboard!";
    QTest::addRow("a cut of nothing empties it") << QStringList{"1", "cut", "cut", "3", "paste"} << cut1 << "" << "No songs selected";
    for (const char *how : {"delete", "backspace", "button"}) {
        QTest::addRow("%s removes", how) << QStringList{"3", "+1", how} << QList<int>{0, 2, 4, 5, 6, 7, 8, 9, 10} << "" << "Removed 2 songs from playlist";
        QTest::addRow("%s again: nothing selected", how) << QStringList{"3", how, how} << QList<int>{0, 1, 2, 4, 5, 6, 7, 8, 9, 10} << "" << "No songs selected";
    }
    QTest::addRow("enter plays the last selected") << QStringList{"+2", "+7", "+5", "enter"} << QList<int>() << "5" << "";
    QTest::addRow("space plays the last selected") << QStringList{"+2", "+7", "+5", "space"} << QList<int>() << "5" << "";
    QTest::addRow("keypad enter, other order") << QStringList{"+5", "+7", "+2", "keypad"} << QList<int>() << "2" << "";
    QTest::addRow("block made upwards") << QStringList{"5", ">2", "enter"} << QList<int>() << "5" << "";
    QTest::addRow("enter, nothing selected") << QStringList{"enter"} << QList<int>() << "" << "";
    QTest::addRow("enter, list without focus") << QStringList{"3", "unfocus", "enter"} << QList<int>() << "" << "";
    QTest::addRow("double click plays that row's song") << QStringList{"2x10"} << QList<int>() << "10" << "";
}

void TestPlaylist::editing()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, queue);
    QFETCH(QString, song);
    QFETCH(QString, banner);
    const QStringList before = library.mid(0, 10) << library.at(0);
    QVERIFY(openWindow(before, f.server));
    f.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QWidget *target = view();
    target->setFocus();
    const QMap<QString, int> keys = {{"delete", Qt::Key_Delete}, {"backspace", Qt::Key_Backspace},
            {"enter", Qt::Key_Return}, {"space", Qt::Key_Space}, {"keypad", Qt::Key_Enter}};
    for (const QString &step : steps) {
        if (step == "cut" || step == "paste") {
            QTest::keySequence(view(), step == "cut" ? QKeySequence::Cut : QKeySequence::Paste);
        } else if (keys.contains(step)) {
            QTest::keyClick(target, Qt::Key(keys.value(step)));
        } else if (step == "button") {
            f.widget<QPushButton>("playlistDelSelButton")->click();
        } else if (step == "unfocus") {
            target = f.widget("volumeSlider");
            target->setFocus();
        } else if (step.startsWith("2x")) {
            const QRect cell = view()->visualRect(view()->model()->index(step.mid(2).toInt(), 1));
            QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            const Qt::KeyboardModifiers modifiers = step[0] == '+' ? Qt::ControlModifier
                    : step[0] == '>' ? Qt::ShiftModifier : Qt::NoModifier;
            QVERIFY(f.click(view(), step.right(step.size() - (modifiers ? 1 : 0)).toInt(), modifiers));
        }
    }
    QStringList expected = before;
    if (!queue.isEmpty()) {
        expected.clear();
        for (int position : queue)
            expected << before.at(position);
    }
    QCOMPARE(f.server.queue(), expected);
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), expected, 5000);
    QCOMPARE(f.server.statusValue("song"), song);
    QCOMPARE(f.server.statusValue("state"), song.isEmpty() ? "stop" : "play");
    if (!song.isEmpty())
        QTRY_COMPARE_WITH_TIMEOUT(marked(view()->model()), QList<int>{song.toInt()}, 5000);
    QVERIFY(banner.isEmpty() ? f.banners().filter("Pasted").isEmpty() : f.bannerShows(banner));
}

void TestPlaylist::pasteOfVanishedSongsMovesNothing()
{
    const QString vanishing = f.musicDir() + "/Vanishing.flac";
    QVERIFY(QFile::copy(f.musicDir() + "/Root Song.flac", vanishing) && f.server.updateDatabase());
    QVERIFY(openWindow({library[0], "Vanishing.flac", library[1], library[2]}, f.server));
    QVERIFY(f.click(view(), 1));
    QTest::keySequence(view(), QKeySequence::Cut);
    const QStringList afterCut = f.server.queue();
    QVERIFY(QFile::remove(vanishing) && f.server.updateDatabase());
    QVERIFY(f.click(view(), 0));
    QTest::keySequence(view(), QKeySequence::Paste);
    // The server refused the song: no other song may be moved in its place.
    QCOMPARE(f.server.queue(), afterCut);
    QVERIFY(f.banners().filter("Pasted").isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(f.closer->texts.size(), 1, 5000);
    expectedBoxes = f.closer->texts;
}

void TestPlaylist::nowPlayingPanel()
{
    QVERIFY(f.open() && f.server.add({"Root Song.flac", midnight}) && f.server.send("play 1"));
    QVERIFY(f.window->connectMPD(f.server.host(), f.server.port(), QString()));
    QCOMPARE(text("lblSongProgress"), "- / -");
    QTRY_COMPARE_WITH_TIMEOUT(text("lblArtistSong"), "Night Choir - Midnight", 5000);
    // The progress of this same status change was shown before the song was known.
    QCOMPARE(text("lblSongProgress"), "- / -");
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Now playing", 5000);
    QTRY_COMPARE_WITH_TIMEOUT(marked(view()->model()), QList<int>{1}, 5000);
    QVERIFY(view()->hasFocus());
    QVERIFY(f.server.send("pause 1"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Paused", 5000);
    auto *slider = f.widget<QSlider>("songProgressSlider");
    for (const auto &[seconds, shown] : {std::pair(65, "1:05 / 5:00"), {0, "0:00 / 5:00"}, {299, "4:59 / 5:00"}}) {
        QVERIFY(f.server.send(QString("seekcur %1").arg(seconds)));
        QTRY_COMPARE_WITH_TIMEOUT(text("lblSongProgress"), shown, 5000);
        QCOMPARE(slider->maximum(), 300);
        QCOMPARE(slider->value(), seconds);
    }
    auto *button = f.widget<QPushButton>("volumeButton");
    const auto icon = [](const QIcon &icon) { return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); };
    for (const auto &[volume, image] : {std::pair(0, ":/graphics/mute.png"), {40, ":/graphics/volume.png"}}) {
        QVERIFY(f.server.send(QString("setvol %1").arg(volume)));
        QTRY_COMPARE_WITH_TIMEOUT(f.widget<QSlider>("volumeSlider")->value(), volume, 5000);
        QCOMPARE(icon(button->icon()), icon(QIcon(QPixmap(image, "PNG"))));
    }
    QVERIFY(f.server.send("stop"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Stopped", 5000);
    // A state that is none of the three (here: the library lost the connection).
    mpd_disconnect(Qmpd::static_this->getMpdObj());
    f.window->onMpdStatusChange(Qmpd::static_this->getMpdObj(), MPD_CST_STATE);
    QCOMPARE(panelTitle(), QString());
}

void TestPlaylist::playlistFollowsTheServer()
{
    QVERIFY(openWindow({"Root Song.flac", "Misc/No Album.flac", midnight}, f.server));
    // A rebuild replaces the model; other changes keep it.
    QPointer<QAbstractItemModel> model = songModel();
    QVERIFY(f.server.send("setvol 30") && f.server.send("play 0"));
    QTRY_COMPARE_WITH_TIMEOUT(f.widget<QSlider>("volumeSlider")->value(), 30, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(marked(view()->model()), QList<int>{0}, 5000);
    QCOMPARE(songModel(), model.data());
    // A song missing from the view keeps the old mark.
    qobject_cast<SongModel *>(songModel())->removeItem(2);
    QVERIFY(f.server.send("play 2"));
    QTRY_COMPARE_WITH_TIMEOUT(text("lblArtistSong"), "Night Choir - Midnight", 5000);
    QCOMPARE(marked(view()->model()), QList<int>{0});
    QVERIFY(f.server.add({"Root Song.flac"}));
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles().size(), 4, 5000);
    QVERIFY(!model);
    QCOMPARE(marked(view()->model()), QList<int>{2});
    f.widget<QPushButton>("playlistDelAllButton")->click();
    QCOMPARE(view()->model()->rowCount(), 0);
    QVERIFY(f.server.queue().isEmpty());
    QVERIFY(f.server.add({midnight}));
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), QStringList{midnight}, 5000);
    f.widget<QAction>("actionDisconnect")->trigger();
    QCOMPARE(view()->model()->rowCount(), 0);
    // Every swap handed the view a live model and dropped the old selection model.
    QCOMPARE(view()->selectionModel()->model(), view()->model());
    QCOMPARE(view()->findChildren<QItemSelectionModel *>(Qt::FindDirectChildrenOnly).size(), 1);
}

void TestPlaylist::longQueue_data()
{
    QTest::addColumn<QString>("fault");
    for (const char *fault : {"none", "kill during rebuild", "kill during paste"})
        QTest::addRow("%s", fault) << QString(fault);
}

// 16,000 songs (mpd's queue holds 16,384): more than one batch of additions carries.
void TestPlaylist::longQueue()
{
    QFETCH(QString, fault);
    constexpr int Songs = 16000;
    if (!longServer)
        longServer = TestLibrary::startSyntheticServer(longDir.path(), Songs);
    MpdFixture &mpd = *longServer;
    QVERIFY(openWindow({"Synthetic"}, mpd));
    QCOMPARE(viewFiles().size(), Songs);
    const auto rebuild = [this] { f.window->updatePlaylist(Qmpd::static_this->getMpdObj()); };
    if (fault == "kill during rebuild") {
        // One call on this thread fetches the whole queue: kill a third of a rebuild into it.
        QElapsedTimer clock;
        clock.start();
        rebuild();
        QVERIFY2(killDuring(mpd, clock.elapsed() / 3, rebuild), "the rebuild ended before the kill");
    } else {
        QVERIFY(mpd.send("shuffle"));
        const QStringList shuffled = mpd.queue();
        QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), shuffled, 20000);
        QVERIFY(f.click(view(), 1));
        view()->selectionModel()->select(QItemSelection(view()->model()->index(1, 0), view()->model()->index(Songs - 1, 0)),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keySequence(view(), QKeySequence::Cut);
        QCOMPARE(mpd.queue(), shuffled.mid(0, 1));
        QVERIFY(f.bannerShows(QString("Cut %1 songs to clipboard").arg(Songs - 1)));
        QTRY_COMPARE_WITH_TIMEOUT(viewFiles().size(), 1, 20000);
        QVERIFY(f.click(view(), 0));
        const auto paste = [this] { QTest::keySequence(view(), QKeySequence::Paste); };
        if (fault != "none") {
            // A paste sends the songs in batches, then moves them: thousands of round trips.
            QVERIFY2(killDuring(mpd, 40, paste), "the paste ended before the kill");
        } else {
            paste();
            QCOMPARE(mpd.queue(), shuffled);
            QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), shuffled, 20000);
        }
    }
    if (fault != "none") {
        f.verifyDisconnectedAfterOneBox();
        f.reconnectFromDialog(mpd);
        // A killed mpd saves no state: the window shows what the restarted one has.
        QCOMPARE(viewFiles(), mpd.queue());
        expectedBoxes = {"Connect"};
    }
}

TUNELOOM_TEST_MAIN(TestPlaylist)
#include "tst_playlist.moc"
