// The main window's playlist tab and now-playing panel against a real mpd:
// what the user does in the window, checked on the server as well as on screen.
#include "tst_playlist.h"

#include "infobanner.h"
#include "mainwindow.h"
#include "songmodel.h"
#include "testlibrary.h"
#include "windowtesting.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QtTest>

namespace {

const QString rootSong = "Root Song.flac";                             // Solo Artist, 150 s
const QString midnight = "Music/Music of the Night/01 Midnight.flac";  // Night Choir, 300 s
const QString noAlbum = "Misc/No Album.flac";
const int timeoutMs = 3000;

QStringList queue(const MpdFixture &server)
{
    return server.mpc({"-f", "%file%", "playlist"});
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage resourceIcon(const QString &path)
{
    return iconImage(QIcon(QPixmap(path, "PNG")));
}

}  // namespace

void TestPlaylist::initTestCase()
{
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
    library = server.mpc({"listall"});
    QCOMPARE(library.size(), 19);
}

void TestPlaylist::init()
{
    closer = std::make_unique<ModalCloser>();
}

void TestPlaylist::cleanup()
{
    window.reset();
    // No test may leave an error box behind unnoticed.
    QCOMPARE(closer->texts, expectedBoxes);
    expectedBoxes.clear();
    closer.reset();
}

bool TestPlaylist::openWindow(const QStringList &files, MpdFixture &fixture, int playPosition)
{
    if (!fixture.resetState())
        return false;
    if (!files.isEmpty())
        fixture.mpc(QStringList{"add"} + files);
    if (playPosition >= 0 && !fixture.send(QString("play %1").arg(playPosition)))
        return false;
    if (!window)
        window = std::make_unique<MainWindow>();
    if (!WindowTesting::connectWindow(window.get(), fixture.host(), fixture.port(), fixture.password()))
        return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get()) && viewFiles() == queue(fixture);
}

bool TestPlaylist::openWindow(const QStringList &files, int playPosition)
{
    return openWindow(files, server, playPosition);
}

QTableView *TestPlaylist::playlistView() const
{
    return window->findChild<QTableView *>("playlistTableview");
}

QStringList TestPlaylist::viewFiles() const
{
    const QAbstractItemModel *model = playlistView()->model();
    QStringList files;
    for (int row = 0; row < model->rowCount(); ++row)
        files << model->index(row, SongModel::Title).data(SongModel::FileRole).toString();
    return files;
}

QList<int> TestPlaylist::markedRows() const
{
    const QAbstractItemModel *model = playlistView()->model();
    QList<int> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, SongModel::Title).data(SongModel::NowPlayingRole).toBool())
            rows << row;
    }
    return rows;
}

QStringList TestPlaylist::banners() const
{
    return window->findChild<InfoBanner *>()->visibleMessages();
}

QString TestPlaylist::labelText(const char *name) const
{
    return window->findChild<QLabel *>(name)->text();
}

QString TestPlaylist::panelTitle() const
{
    return window->findChild<QGroupBox *>("nowplayingGroup")->title();
}

void TestPlaylist::clickRow(int row, Qt::KeyboardModifiers modifiers)
{
    QTableView *view = playlistView();
    const QModelIndex index = view->model()->index(row, SongModel::Title);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(index).center());
}

void TestPlaylist::cutThenPasteAfterOneRow()
{
    QVERIFY(openWindow(library.mid(0, 10)));
    const QStringList before = queue(server);
    clickRow(5, Qt::ControlModifier);
    clickRow(2, Qt::ControlModifier);
    clickRow(7, Qt::ControlModifier);

    QTest::keySequence(playlistView(), QKeySequence::Cut);

    QStringList remaining = before;
    for (int row : {7, 5, 2})
        remaining.removeAt(row);
    QCOMPARE(queue(server), remaining);
    QCOMPARE(viewFiles(), remaining);
    QVERIFY(banners().contains("Cut 3 songs to clipboard"));

    clickRow(0);
    QTest::keySequence(playlistView(), QKeySequence::Paste);

    QStringList pasted = remaining;
    pasted.insert(1, before[2]);
    pasted.insert(2, before[5]);
    pasted.insert(3, before[7]);
    QCOMPARE(queue(server), pasted);
    QVERIFY(banners().contains("Pasted 3 songs from clipboard!"));
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), pasted, timeoutMs);

    // A paste empties the clipboard.
    clickRow(5);
    QTest::keySequence(playlistView(), QKeySequence::Paste);
    QCOMPARE(queue(server), pasted);
}

void TestPlaylist::pasteNeedsExactlyOneRow_data()
{
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::addColumn<bool>("emptyCutFirst");
    QTest::addRow("no row") << QList<int>{} << false;
    QTest::addRow("two rows") << QList<int>{0, 3} << false;
    QTest::addRow("one row, after a cut of nothing") << QList<int>{0} << true;
}

void TestPlaylist::pasteNeedsExactlyOneRow()
{
    QFETCH(QList<int>, selectedRows);
    QFETCH(bool, emptyCutFirst);
    QVERIFY(openWindow(library.mid(0, 6)));
    const QStringList before = queue(server);
    clickRow(1);
    QTest::keySequence(playlistView(), QKeySequence::Cut);
    const QStringList afterCut = queue(server);
    QCOMPARE(afterCut.size(), 5);
    if (emptyCutFirst) {
        QVERIFY(!playlistView()->selectionModel()->hasSelection());
        QTest::keySequence(playlistView(), QKeySequence::Cut);
        QVERIFY(banners().contains("No songs selected"));
        QCOMPARE(queue(server), afterCut);
    }

    for (int row : selectedRows)
        clickRow(row, Qt::ControlModifier);
    QTest::keySequence(playlistView(), QKeySequence::Paste);
    QCOMPARE(queue(server), afterCut);

    // A refused paste keeps the clipboard for a proper one; a cut of nothing empties it.
    clickRow(3);
    QTest::keySequence(playlistView(), QKeySequence::Paste);
    QStringList pasted = afterCut;
    if (!emptyCutFirst)
        pasted.insert(4, before[1]);
    QCOMPARE(queue(server), pasted);
}

void TestPlaylist::pasteOfVanishedSongsMovesNothing()
{
    const QString vanishing = "Vanishing.flac";
    QVERIFY(QFile::copy(musicDir.filePath(rootSong), musicDir.filePath(vanishing)));
    QVERIFY(server.updateDatabase());
    QVERIFY(openWindow({library[0], vanishing, library[1], library[2]}));
    clickRow(1);
    QTest::keySequence(playlistView(), QKeySequence::Cut);
    const QStringList afterCut = queue(server);
    QVERIFY(QFile::remove(musicDir.filePath(vanishing)));
    QVERIFY(server.updateDatabase());

    clickRow(0);
    QTest::keySequence(playlistView(), QKeySequence::Paste);

    // The server refused the song: no other song may be moved in its place.
    QCOMPARE(queue(server), afterCut);
    QVERIFY(!banners().join('\n').contains("Pasted"));
    QTRY_COMPARE_WITH_TIMEOUT(closer->texts.size(), 1, timeoutMs);
    expectedBoxes = closer->texts;
}

void TestPlaylist::removeSelected_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addRow("Delete key") << "delete";
    QTest::addRow("Backspace key") << "backspace";
    QTest::addRow("Remove selected button") << "button";
}

void TestPlaylist::removeSelected()
{
    QFETCH(QString, trigger);
    QVERIFY(openWindow(library.mid(0, 5)));
    const auto pressTrigger = [&] {
        if (trigger == "button")
            QTest::mouseClick(window->findChild<QPushButton *>("playlistDelSelButton"),
                              Qt::LeftButton);
        else
            QTest::keyClick(playlistView(),
                            trigger == "delete" ? Qt::Key_Delete : Qt::Key_Backspace);
    };
    QStringList expected = queue(server);
    expected.removeAt(3);
    expected.removeAt(1);
    clickRow(3);
    clickRow(1, Qt::ControlModifier);

    pressTrigger();
    QCOMPARE(queue(server), expected);
    QCOMPARE(viewFiles(), expected);
    QVERIFY(banners().contains("Removed 2 songs from playlist"));

    // The rebuilt view has no selection left.
    pressTrigger();
    QCOMPARE(queue(server), expected);
    QVERIFY(banners().contains("No songs selected"));
}

void TestPlaylist::removeButtonRunsOnceAfterReconnects()
{
    QVERIFY(openWindow(library.mid(0, 4)));
    auto *disconnect = window->findChild<QAction *>("actionDisconnect");
    for (int i = 0; i < 3; ++i) {
        disconnect->trigger();
        QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port(), QString()));
    }
    clickRow(1);

    QTest::mouseClick(window->findChild<QPushButton *>("playlistDelSelButton"), Qt::LeftButton);

    QCOMPARE(queue(server).size(), 3);
    QCOMPARE(banners().count("Removed 1 songs from playlist"), 1);
    QVERIFY(!banners().contains("No songs selected"));
}

void TestPlaylist::enterAndSpacePlayLastSelected_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QList<int>>("rowsOneAtATime");
    QTest::addColumn<int>("blockEnd");
    QTest::addColumn<bool>("listHasFocus");
    QTest::addColumn<QString>("played");
    QTest::addRow("Enter, rows one at a time")
            << int(Qt::Key_Return) << QList<int>{2, 7, 5} << -1 << true << "5";
    QTest::addRow("Space, rows one at a time")
            << int(Qt::Key_Space) << QList<int>{2, 7, 5} << -1 << true << "5";
    QTest::addRow("keypad Enter, other order")
            << int(Qt::Key_Enter) << QList<int>{5, 7, 2} << -1 << true << "2";
    QTest::addRow("block made upwards") << int(Qt::Key_Return) << QList<int>{5} << 2 << true << "5";
    QTest::addRow("nothing selected") << int(Qt::Key_Return) << QList<int>{} << -1 << true << "";
    QTest::addRow("list without focus")
            << int(Qt::Key_Return) << QList<int>{3} << -1 << false << "";
}

void TestPlaylist::enterAndSpacePlayLastSelected()
{
    QFETCH(int, key);
    QFETCH(QList<int>, rowsOneAtATime);
    QFETCH(int, blockEnd);
    QFETCH(bool, listHasFocus);
    QFETCH(QString, played);
    QVERIFY(openWindow(library.mid(0, 9)));
    playlistView()->setFocus();
    for (int row : rowsOneAtATime)
        clickRow(row, Qt::ControlModifier);
    if (blockEnd >= 0)
        clickRow(blockEnd, Qt::ShiftModifier);
    QWidget *target = playlistView();
    if (!listHasFocus) {
        target = window->findChild<QSlider *>("volumeSlider");
        target->setFocus();
    }

    QTest::keyClick(target, Qt::Key(key));

    QCOMPARE(server.statusValue("song"), played);
    QCOMPARE(server.statusValue("state"), played.isEmpty() ? "stop" : "play");
}

void TestPlaylist::doubleClickPlaysThatRowsSong()
{
    // The same file twice: the row's own entry must play, not the first match.
    QVERIFY(openWindow({rootSong, midnight, rootSong}));
    QTableView *view = playlistView();
    const QRect cell = view->visualRect(view->model()->index(2, SongModel::Artist));

    // A real double click starts with a press; the view only answers one on the pressed row.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());

    QCOMPARE(server.statusValue("song"), "2");
    QCOMPARE(server.statusValue("state"), "play");
    QTRY_COMPARE_WITH_TIMEOUT(markedRows(), QList<int>{2}, timeoutMs);
}

void TestPlaylist::firstStatusShowsSongBeforeProgress()
{
    QVERIFY(openWindow({rootSong, midnight}, 1));
    QCOMPARE(labelText("lblSongProgress"), "- / -");

    QTRY_COMPARE_WITH_TIMEOUT(labelText("lblArtistSong"), "Night Choir - Midnight", timeoutMs);
    // The progress of this same status change was shown before the song was known.
    QCOMPARE(labelText("lblSongProgress"), "- / -");
    QTRY_VERIFY_WITH_TIMEOUT(labelText("lblSongProgress").endsWith(" / 5:00"), timeoutMs);
}

void TestPlaylist::progressText()
{
    QVERIFY(openWindow({midnight}, 0));
    QVERIFY(server.send("pause 1"));
    const auto *slider = window->findChild<QSlider *>("songProgressSlider");
    const std::pair<int, QString> steps[]
            = {{65, "1:05 / 5:00"}, {0, "0:00 / 5:00"}, {299, "4:59 / 5:00"}};
    for (const auto &[seconds, text] : steps) {
        QVERIFY(server.send(QString("seekcur %1").arg(seconds)));
        QTRY_COMPARE_WITH_TIMEOUT(labelText("lblSongProgress"), text, timeoutMs);
        QCOMPARE(slider->maximum(), 300);
        QCOMPARE(slider->value(), seconds);
    }
}

void TestPlaylist::playerStateTitle()
{
    QVERIFY(openWindow({midnight}));
    QVERIFY(server.send("play 0"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Now playing", timeoutMs);
    QVERIFY(server.send("pause 1"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Paused", timeoutMs);
    QVERIFY(server.send("stop"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Stopped", timeoutMs);

    // A state that is none of the three (here: the library lost the connection).
    MpdObj *mpd = Qmpd::static_this->getMpdObj();
    mpd_disconnect(mpd);
    window->onMpdStatusChange(mpd, MPD_CST_STATE);
    QCOMPARE(panelTitle(), QString());
}

void TestPlaylist::volumeAndMuteIcon()
{
    QVERIFY(openWindow({midnight}));
    const auto *slider = window->findChild<QSlider *>("volumeSlider");
    const auto *button = window->findChild<QPushButton *>("volumeButton");
    const QImage mute = resourceIcon(":/graphics/mute.png");
    const QImage loud = resourceIcon(":/graphics/volume.png");
    QVERIFY(mute != loud);

    QVERIFY(server.send("setvol 0"));
    QTRY_COMPARE_WITH_TIMEOUT(slider->value(), 0, timeoutMs);
    QCOMPARE(iconImage(button->icon()), mute);

    QVERIFY(server.send("setvol 40"));
    QTRY_COMPARE_WITH_TIMEOUT(slider->value(), 40, timeoutMs);
    QCOMPARE(iconImage(button->icon()), loud);
    QCOMPARE(button->iconSize(), QSize(16, 16));
}

void TestPlaylist::noMixerLeavesVolumeAlone()
{
    MpdFixture::Options options;
    options.mixer = false;
    MpdFixture silent(options);
    QVERIFY2(silent.start(musicDir.path()), qPrintable(silent.errorString()));
    window = std::make_unique<MainWindow>();
    auto *slider = window->findChild<QSlider *>("volumeSlider");
    auto *button = window->findChild<QPushButton *>("volumeButton");
    slider->setValue(37);
    button->setIcon(QIcon());

    QVERIFY(openWindow({midnight}, silent));
    QVERIFY(silent.send("play 0"));
    QTRY_COMPARE_WITH_TIMEOUT(labelText("lblArtistSong"), "Night Choir - Midnight", timeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(labelText("lblSongProgress").endsWith(" / 5:00"), timeoutMs);

    QCOMPARE(slider->value(), 37);
    QVERIFY(button->icon().isNull());
}

void TestPlaylist::songChangeMarksRowAndFocusesPlaylist()
{
    QVERIFY(openWindow(library.mid(0, 4)));
    QCOMPARE(markedRows(), QList<int>{});
    window->findChild<QSlider *>("volumeSlider")->setFocus();

    QVERIFY(server.send("play 2"));
    QTRY_COMPARE_WITH_TIMEOUT(markedRows(), QList<int>{2}, timeoutMs);
    QVERIFY(playlistView()->hasFocus());

    QVERIFY(server.send("play 3"));
    QTRY_COMPARE_WITH_TIMEOUT(markedRows(), QList<int>{3}, timeoutMs);
}

void TestPlaylist::songMissingFromModelKeepsOldMark()
{
    QVERIFY(openWindow({rootSong, noAlbum, midnight}, 0));
    QCOMPARE(markedRows(), QList<int>{0});
    const QPointer<SongModel> model = qobject_cast<SongModel *>(playlistView()->model());
    QVERIFY(model);
    model->removeItem(2);

    QVERIFY(server.send("play 2"));

    QTRY_COMPARE_WITH_TIMEOUT(labelText("lblArtistSong"), "Night Choir - Midnight", timeoutMs);
    QCOMPARE(markedRows(), QList<int>{0});
    QVERIFY(model);
    QCOMPARE(playlistView()->model(), model.data());
}

void TestPlaylist::rebuildsOnlyOnPlaylistChange()
{
    QVERIFY(openWindow({rootSong, midnight}));
    // A rebuild destroys the model it replaces.
    const QPointer<QAbstractItemModel> first = playlistView()->model();
    QVERIFY(server.send("setvol 30"));
    QVERIFY(server.send("play 0"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Now playing", timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(window->findChild<QSlider *>("volumeSlider")->value(), 30, timeoutMs);
    QVERIFY(first);
    QCOMPARE(playlistView()->model(), first);

    server.mpc({"add", noAlbum});
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), QStringList({rootSong, midnight, noAlbum}), timeoutMs);
    // Updated in place.
    QCOMPARE(playlistView()->model(), first.data());
    const QPointer<QAbstractItemModel> second = playlistView()->model();
    QCOMPARE(markedRows(), QList<int>{0});

    QVERIFY(server.send("pause 1"));
    QTRY_COMPARE_WITH_TIMEOUT(panelTitle(), "Paused", timeoutMs);
    QVERIFY(second);
    QCOMPARE(playlistView()->model(), second);
}

void TestPlaylist::clearAndDisconnectEmptyTheView()
{
    QVERIFY(openWindow(library.mid(0, 5)));
    QTableView *view = playlistView();

    QTest::mouseClick(window->findChild<QPushButton *>("playlistDelAllButton"), Qt::LeftButton);
    QCOMPARE(view->model()->rowCount(), 0);
    QVERIFY(queue(server).isEmpty());

    server.mpc({"add", rootSong, midnight});
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), QStringList({rootSong, midnight}), timeoutMs);

    window->findChild<QAction *>("actionDisconnect")->trigger();
    QCOMPARE(view->model()->rowCount(), 0);
    // Every swap handed the view a live model and dropped the old selection.
    QCOMPARE(view->selectionModel()->model(), view->model());
    QCOMPARE(view->findChildren<QItemSelectionModel *>(Qt::FindDirectChildrenOnly).size(), 1);
}

void TestPlaylist::longPlaylistSyncsAndPastes()
{
    const int songs = 5000;
    QTemporaryDir dbDir;
    const QString db = dbDir.filePath("database");
    QVERIFY(TestLibrary::writeDatabase(db, songs));
    MpdFixture::Options options;
    options.databaseFile = db;
    MpdFixture big(options);
    QVERIFY2(big.start(), qPrintable(big.errorString()));
    QVERIFY(openWindow({"Synthetic"}, big));
    QCOMPARE(viewFiles().size(), songs);

    QVERIFY(big.send("shuffle"));
    const QStringList shuffled = queue(big);
    QCOMPARE(shuffled.size(), songs);
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), shuffled, 5000);

    // Everything but the first row goes to the clipboard and comes back after
    // it: more songs than one batch of additions carries.
    clickRow(1);
    clickRow(songs - 1, Qt::ShiftModifier);
    QTest::keySequence(playlistView(), QKeySequence::Cut);
    QCOMPARE(queue(big), shuffled.mid(0, 1));
    QVERIFY(banners().contains(QString("Cut %1 songs to clipboard").arg(songs - 1)));

    clickRow(0);
    QTest::keySequence(playlistView(), QKeySequence::Paste);
    QCOMPARE(queue(big), shuffled);
    QTRY_COMPARE_WITH_TIMEOUT(viewFiles(), shuffled, 5000);
}
