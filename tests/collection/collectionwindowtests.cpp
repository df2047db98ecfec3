#include "collectionwindowtests.h"

#include "busyindicator.h"
#include "infobanner.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "testlibrary.h"
#include "windowtesting.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QScopeGuard>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

namespace {

const QString stones = QStringLiteral("The Stones Of Time");
const QString granitePath = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Granite/");
const QString pebblesSong
        = QStringLiteral("Music/Rock/Classic/The Stones Of Time/Pebbles/01 Small Stone.flac");

const QStringList allArtists
        = {"",           "ABBA",        "Abba",        "Björk",       "Bright Signal",
           "Loose Ends", "Mötley Crüe", "Night Choir", "Solo Artist", "The Stones Of Time",
           "Кино",       "坂本"};
const QStringList allAlbums = {"",           "Fragments",         "Gold",
                               "Granite",    "Greatest Hits",     "Húsið",
                               "Lone Album", "Loud Nights",       "Music of the Night",
                               "Pebbles",    "Untitled Sessions", "Группа крови",
                               "音楽図鑑"};

constexpr int BigLibrarySongs = 300000;
constexpr int BuildTimeoutMs = 120000;

}  // namespace

void CollectionWindowTests::initTestCase()
{
    QVERIFY(TestLibrary::generate(musicDir.path()));
    QVERIFY2(server.start(musicDir.path()), qPrintable(server.errorString()));
}

void CollectionWindowTests::init()
{
    QVERIFY(server.resetState());
    // The cache is per host, and every test server is 127.0.0.1.
    QDir cacheDir(QDir::homePath() + "/.config/tuneloom");
    for (const QString &name : cacheDir.entryList({".127.0.0.1.*"}, QDir::Files | QDir::Hidden))
        QVERIFY(cacheDir.remove(name));
    closer = std::make_unique<ModalCloser>();
    window = std::make_unique<MainWindow>();
    window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
}

void CollectionWindowTests::cleanup()
{
    window.reset();
    closer.reset();
}

MpdFixture &CollectionWindowTests::bigServer()
{
    if (!big)
        big = TestLibrary::startSyntheticServer(bigDir.path(), BigLibrarySongs);
    return *big;
}

bool CollectionWindowTests::startBigBuild()
{
    const MpdFixture &mpd = bigServer();
    return WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port(), QString()) && busy()->isRunning();
}

bool CollectionWindowTests::connectAndBuild(const MpdFixture &mpd)
{
    return WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port(), mpd.password())
            && QTest::qWaitFor([this] { return !busy()->isRunning(); }, BuildTimeoutMs);
}

QListView *CollectionWindowTests::list(const char *name) const
{
    return window->findChild<QListView *>(name);
}

BusyIndicator *CollectionWindowTests::busy() const
{
    return window->findChild<BusyIndicator *>();
}

QStringList CollectionWindowTests::rows(const char *listName) const
{
    const QAbstractItemModel *model = list(listName)->model();
    QStringList texts;
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

bool CollectionWindowTests::click(const char *listName, const QString &text,
                                  Qt::KeyboardModifiers modifiers)
{
    QListView *view = list(listName);
    const int row = rows(listName).indexOf(text);
    if (row < 0)
        return false;
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(index).center());
    return true;
}

QStringList CollectionWindowTests::serverPlaylist() const
{
    return server.mpc({"-f", "%file%", "playlist"});
}

bool CollectionWindowTests::bannerShows(const QString &message) const
{
    return window->findChild<InfoBanner *>()->visibleMessages().contains(message);
}

void CollectionWindowTests::buildDisablesTabsThenShowsEverything()
{
    auto *update = window->findChild<QAction *>("action_Update_database");
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port(), QString()));
    QVERIFY(busy()->isRunning());
    QVERIFY(!window->findChild<QWidget *>("tabCollection")->isEnabled());
    QVERIFY(!window->findChild<QWidget *>("filebrowserTab")->isEnabled());
    QVERIFY(!update->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(!busy()->isRunning(), 10000);
    QVERIFY(bannerShows("Collection built succesfully!"));
    QVERIFY(window->findChild<QWidget *>("tabCollection")->isEnabled());
    QVERIFY(window->findChild<QWidget *>("filebrowserTab")->isEnabled());
    QVERIFY(update->isEnabled());
    QCOMPARE(rows("artistList"), allArtists);
    QCOMPARE(rows("albumList"), allAlbums);
    QVERIFY(list("trackList")->model());
    QCOMPARE(rows("trackList"), QStringList());
}

void CollectionWindowTests::clickSequences()
{
    QVERIFY(connectAndBuild(server));
    const auto artistSelected
            = [this] { return list("artistList")->selectionModel()->selectedRows().size(); };

    QVERIFY(click("artistList", stones));
    QCOMPARE(rows("albumList"), QStringList({"Granite", "Pebbles"}));
    QCOMPARE(artistSelected(), 1);
    QVERIFY(click("albumList", "Granite"));
    QCOMPARE(rows("trackList"), QStringList({"First Stone", "Second Stone", "Third Stone"}));

    QVERIFY(click("artistList", stones));
    QCOMPARE(rows("albumList"), allAlbums);
    QCOMPARE(artistSelected(), 0);
    QCOMPARE(rows("trackList"), QStringList());

    QVERIFY(click("artistList", stones));
    QCOMPARE(rows("albumList"), QStringList({"Granite", "Pebbles"}));
    QCOMPARE(artistSelected(), 1);

    // Another row narrows at once; the albums are shown sorted.
    QVERIFY(click("artistList", "Loose Ends"));
    QCOMPARE(rows("albumList"), QStringList({"", "Fragments"}));
    QCOMPARE(artistSelected(), 1);

    // An album click lists the pair's songs; one without a title by its path.
    QVERIFY(click("albumList", "Fragments"));
    QCOMPARE(rows("trackList"), QStringList({"Misc/No Title.flac"}));

    // With no artist selected only songs without an artist tag are found.
    QVERIFY(click("artistList", "Loose Ends"));
    QVERIFY(click("albumList", "Greatest Hits"));
    QCOMPARE(rows("trackList"), QStringList());
    QVERIFY(click("albumList", "Untitled Sessions"));
    QCOMPARE(rows("trackList"), QStringList({"No Artist Song"}));
}

void CollectionWindowTests::addArtist()
{
    QVERIFY(connectAndBuild(server));
    auto *add = list("artistList")->actions().value(0);
    QVERIFY(add);

    // Nothing selected: nothing happens, not even a message.
    const QStringList before = window->findChild<InfoBanner *>()->visibleMessages();
    add->trigger();
    QCOMPARE(serverPlaylist(), QStringList());
    QCOMPARE(window->findChild<InfoBanner *>()->visibleMessages(), before);

    QVERIFY(click("artistList", stones));
    add->trigger();
    QCOMPARE(serverPlaylist(),
             QStringList({granitePath + "01 First Stone.flac", granitePath + "02 Second Stone.flac",
                          granitePath + "03 Third Stone.flac", pebblesSong}));
    QVERIFY(bannerShows("Added all songs from artist \"The Stones Of Time\" to playlist!"));
}

void CollectionWindowTests::addAlbums()
{
    QVERIFY(connectAndBuild(server));
    auto *add = list("albumList")->actions().value(0);
    QVERIFY(add);

    QVERIFY(click("albumList", "Granite"));
    add->trigger();
    QVERIFY(bannerShows("Invalid selection. Please select one artist."));
    QCOMPARE(serverPlaylist(), QStringList());

    // Albums go in selection order, not in the order shown.
    QVERIFY(click("artistList", stones));
    QVERIFY(click("albumList", "Pebbles"));
    QVERIFY(click("albumList", "Granite", Qt::ControlModifier));
    add->trigger();
    QCOMPARE(serverPlaylist(),
             QStringList({pebblesSong, granitePath + "01 First Stone.flac",
                          granitePath + "02 Second Stone.flac",
                          granitePath + "03 Third Stone.flac"}));
    QVERIFY(bannerShows("Added songs from 2 albums to playlist!"));
}

void CollectionWindowTests::addTracks()
{
    QVERIFY(connectAndBuild(server));
    auto *add = list("trackList")->actions().value(0);
    QVERIFY(add);

    QVERIFY(click("artistList", stones));
    QVERIFY(click("albumList", "Granite"));
    QVERIFY(click("trackList", "Third Stone"));
    QVERIFY(click("trackList", "First Stone", Qt::ControlModifier));
    add->trigger();
    QCOMPARE(serverPlaylist(),
             QStringList(
                     {granitePath + "03 Third Stone.flac", granitePath + "01 First Stone.flac"}));
    QVERIFY(bannerShows("Added 2 songs from \"The Stones Of Time - Granite\" to playlist!"));

    // The album selection moved without a click: of the selected rows 2 and 0,
    // row 2 is past Pebbles' one song and skipped, never read past its end.
    QVERIFY(server.resetState());
    QItemSelectionModel *albums = list("albumList")->selectionModel();
    const auto albumIndex = [this](const QString &album) {
        return list("albumList")->model()->index(rows("albumList").indexOf(album), 0);
    };
    albums->select(albumIndex("Pebbles"), QItemSelectionModel::ClearAndSelect);
    add->trigger();
    QCOMPARE(serverPlaylist(), QStringList({pebblesSong}));
    QVERIFY(bannerShows("Added 1 songs from \"The Stones Of Time - Pebbles\" to playlist!"));

    albums->select(albumIndex("Granite"), QItemSelectionModel::Select);
    add->trigger();
    QVERIFY(bannerShows("Invalid selection. Please select one and only one album."));
    QCOMPARE(serverPlaylist().size(), 1);

    QVERIFY(click("artistList", stones));  // second click: no artist selected
    add->trigger();
    QVERIFY(bannerShows("Invalid selection. Please select one artist."));
}

void CollectionWindowTests::finishedDatabaseUpdateRebuilds()
{
    QVERIFY(connectAndBuild(server));
    const QString copy = musicDir.filePath("Root Song Again.flac");
    const auto restore = qScopeGuard([&] {
        QFile::remove(copy);
        server.updateDatabase();
    });
    // The other artist first: a click on the row clicked last would widen the list.
    const auto rootSongs = [this] {
        return click("artistList", "ABBA") && click("artistList", "Solo Artist")
                        && click("albumList", "Lone Album")
                ? rows("trackList")
                : QStringList({"not found"});
    };

    // Another client's update, over before the window's next poll: the window
    // never sees it running, only the changed database.
    QVERIFY(QFile::copy(musicDir.filePath("Root Song.flac"), copy));
    QVERIFY(server.updateDatabase());
    QTRY_VERIFY_WITH_TIMEOUT(bannerShows("Database updated, rebuilding collection..."), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!busy()->isRunning(), 10000);
    QCOMPARE(rootSongs(), QStringList({"Root Song", "Root Song"}));

    // The window's own update; the rebuild reads the server, not the fresh cache.
    QVERIFY(QFile::remove(copy));
    window->findChild<QAction *>("action_Update_database")->trigger();
    QSignalSpy rebuilt(list("artistList")->model(), &QAbstractItemModel::modelReset);
    QVERIFY(rebuilt.wait(10000));
    QVERIFY(!busy()->isRunning());
    QCOMPARE(rootSongs(), QStringList({"Root Song"}));
}

void CollectionWindowTests::windowKeepsPollingDuringLongBuild()
{
    MpdFixture &mpd = bigServer();
    QVERIFY(mpd.resetState());
    // The first build is cut short; its late report must not hold up the second.
    QVERIFY(WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port(), QString()));
    window->findChild<QAction *>("actionDisconnect")->trigger();
    QVERIFY(WindowTesting::connectWindow(window.get(), mpd.host(), mpd.port(), QString()));
    QVERIFY(busy()->isRunning());

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this,
            [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(20);

    list("artistList")->actions().value(0)->trigger();
    QVERIFY(bannerShows("Cannot perform operation while building collection. Sorry."));

    // A change on the server reaches the window while the build still runs.
    QVERIFY(mpd.send("setvol 37"));
    QTRY_COMPARE_WITH_TIMEOUT(window->findChild<QSlider *>("volumeSlider")->value(), 37, 3000);
    QVERIFY2(busy()->isRunning(), "the build ended too soon to tell");

    QTRY_VERIFY_WITH_TIMEOUT(!busy()->isRunning(), BuildTimeoutMs);
    ticker.stop();
    // Generous for a loaded machine; a build on the GUI thread would stall it for seconds.
    QVERIFY2(longestGap < 1500, qPrintable(QString::number(longestGap)));
    QVERIFY(bannerShows("Collection built succesfully!"));
    QVERIFY(rows("artistList").contains(TestLibrary::syntheticArtist(0)));
    QVERIFY(rows("albumList").size() > BigLibrarySongs / 20);
}

void CollectionWindowTests::reconnectDuringBuildShowsNewCollection()
{
    QStringList shownArtists;
    connect(list("artistList")->model(), &QAbstractItemModel::modelReset, this,
            [&] { shownArtists += rows("artistList"); });

    QVERIFY(startBigBuild());
    window->findChild<QAction *>("actionDisconnect")->trigger();
    QVERIFY(WindowTesting::connectWindow(window.get(), server.host(), server.port(), QString()));

    QTRY_VERIFY_WITH_TIMEOUT(!busy()->isRunning(), 20000);
    QCOMPARE(rows("artistList"), allArtists);
    QCOMPARE(rows("albumList"), allAlbums);
    QVERIFY(!shownArtists.contains(TestLibrary::syntheticArtist(0)));
    QVERIFY(window->findChild<QWidget *>("tabCollection")->isEnabled());
    QVERIFY(window->findChild<QAction *>("action_Update_database")->isEnabled());

    // The list is the new server's: adding from it adds its songs.
    QVERIFY(click("artistList", stones));
    list("artistList")->actions().value(0)->trigger();
    QCOMPARE(serverPlaylist().size(), 4);
}

void CollectionWindowTests::disconnectDuringBuildLeavesNothingBehind()
{
    QVERIFY(startBigBuild());
    window->findChild<QAction *>("actionDisconnect")->trigger();
    QCOMPARE(rows("artistList"), QStringList());

    // The interrupted build ends soon and is not shown.
    QTRY_VERIFY_WITH_TIMEOUT(!busy()->isRunning(), 5000);
    QCOMPARE(rows("artistList"), QStringList());
    QCOMPARE(rows("albumList"), QStringList());
    QVERIFY(!window->findChild<QAction *>("action_Update_database")->isEnabled());
    QVERIFY(!bannerShows("Collection built succesfully!"));
}

void CollectionWindowTests::closingDuringBuildReturnsPromptly()
{
    QVERIFY(startBigBuild());
    QElapsedTimer timer;
    timer.start();
    window.reset();
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    // The build's late notice must not reach the destroyed window.
    QCoreApplication::processEvents();
}

void CollectionWindowTests::updateDuringBuildIsFollowedByAnotherBuild()
{
    QVERIFY(startBigBuild());
    // The rescan empties the synthetic database: the next test needs a new one.
    const auto dropServer = qScopeGuard([this] { big.reset(); });
    QVERIFY(!big->command("update").isEmpty());
    // mpd runs its update thread at idle priority: while the build keeps both
    // cores busy (listing and indexing), the update may end only with the build.
    QTRY_VERIFY_WITH_TIMEOUT(bannerShows("Database updated, rebuilding collection..."),
                             BuildTimeoutMs);

    // Whatever the first build made of the old database, the one shown is the new one.
    QTRY_VERIFY_WITH_TIMEOUT(!busy()->isRunning(), BuildTimeoutMs);
    QVERIFY(bannerShows("Collection built succesfully!"));
    QCOMPARE(rows("artistList"), QStringList());
    QCOMPARE(rows("albumList"), QStringList());
}
