#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "albums/albumscontroller.h"
#include "collection/collectioncontroller.h"
#include "collection/collectiongroupingbox.h"
#include "core/serverconnection.h"
#include "core/settingsstore.h"
#include "desktop/desktopintegration.h"
#include "filebrowser/filebrowsercontroller.h"
#include "lastfm/scrobbling.h"
#include "librarystats/librarystatsaction.h"
#include "lyrics/lyricscontroller.h"
#include "player/playbackmenu.h"
#include "playlist/playlistcontroller.h"
#include "playlist/queuemover.h"
#include "playlist/queuetotals.h"
#include "ratings/playcounter.h"
#include "ratings/ratingcontroller.h"
#include "ratings/stickersync.h"
#include "smartplaylists/smartplaylistscontroller.h"
#include "radio/streammenu.h"
#include "servers/partitionmenu.h"
#include "servers/serversmenu.h"
#include "storedplaylists/storedplaylistscontroller.h"
#include "ui/busyindicator.h"
#include "ui/columnlayout.h"
#include "ui/connectioncontroller.h"
#include "ui/infobanner.h"
#include "ui/nowplayingpanel.h"
#include "ui/preferences.h"
#include "ui/searchfield.h"
#include "ui/tabnavigation.h"
#include "ui/windowplacement.h"

#include <QLabel>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui_MainWindow)
{
    ui->setupUi(this);
    ui->statusBar->hide();
    banner = new InfoBanner(this);
    busyIndicator = new BusyIndicator(this);
    ui->tabWidget->setCornerWidget(busyIndicator, Qt::TopRightCorner);

    connection = new ConnectionController(this, ui->nowplayingGroup, ui->actionDisconnect);
    connect(connection, &ConnectionController::message, this, &MainWindow::myShowMessage);
    // The window's own share first: the parts that follow find the window enabled or disabled.
    connect(connection, &ConnectionController::connectionReady, this, [this] { activateUi(true); });
    connect(connection, &ConnectionController::connectionClosed, this, [this] { activateUi(false); });
    createTabs();
    createPanels();
    createStickerFeatures();
    createMenus();
    createKeys();

    WindowPlacement::restore(this);
    setVisible(true);
    // Disabled until a connection is up.
    activateUi(false);
    autoConnectMPD();
}

MainWindow::~MainWindow()
{
    coverFetcher.abort();
    coverFetcher.wait();
    // The connection's thread ends before the parts it reports to.
    delete connection;
    WindowPlacement::save(this);
    TabNavigation::save(ui->tabWidget);
    if (preferences->deletesCoversOnExit())
        CoverFetcher::removeCachedCovers();
    delete ui;
}

template<typename Part> void MainWindow::followConnection(Part *part)
{
    connect(connection, &ConnectionController::connectionReady, part, &Part::onConnectionReady);
    connect(connection, &ConnectionController::connectionClosed, part, &Part::onConnectionClosed);
}

template<typename Part> void MainWindow::showMessagesOf(Part *part)
{
    connect(part, &Part::message, this, &MainWindow::myShowMessage);
}

void MainWindow::createTabs()
{
    playlist = new PlaylistController({ui->tabPlaylist, ui->playlistTableview, ui->playlistFilter,
                                       ui->playlistDelSelButton, ui->playlistDelAllButton},
                                      this);
    followConnection(playlist);
    showMessagesOf(playlist);
    collection = new CollectionController(
            {ui->collectionFilter, ui->artistList, ui->albumList, ui->trackList}, this);
    followConnection(collection);
    showMessagesOf(collection);
    connect(collection, &CollectionController::busyChanged, this, &MainWindow::showCollectionBusy);
    connect(new CollectionGroupingBox(ui->label), &CollectionGroupingBox::groupingChosen, collection,
            &CollectionController::groupBy);
    fileBrowser = new FileBrowserController({ui->filebrowserTab, ui->directoryTree, ui->fileList},
                                            this);
    followConnection(fileBrowser);
    showMessagesOf(fileBrowser);
    connect(collection, &CollectionController::built, fileBrowser, &FileBrowserController::reload);
    auto *albums = new AlbumsController(ui->tabWidget, ui->tabCollection, collection->index(), this);
    followConnection(albums);
    showMessagesOf(albums);
    connect(collection, &CollectionController::built, albums, &AlbumsController::onCollectionBuilt);
    auto *queueTotals = new QLabel(ui->tabPlaylist);
    queueTotals->setObjectName(QStringLiteral("queueTotals"));
    ui->verticalLayout_2->insertWidget(ui->verticalLayout_2->indexOf(ui->playlistTableview) + 1,
                                       queueTotals);
    followConnection(new QueueTotals(ui->playlistTableview, queueTotals, this));
    SearchField::installKeys(ui->playlistFilter, ui->tabPlaylist);
    SearchField::installKeys(ui->collectionFilter, ui->tabCollection);
    new ColumnLayout(ui->playlistTableview, SettingsKey::PlaylistColumns);
    new ColumnLayout(ui->fileList, SettingsKey::FileListColumns);

    // Arranging the queue by hand, and the server's stored playlists in a tab of their own.
    auto *queueMover = new QueueMover(ui->playlistTableview, this);
    collection->offerPlayNext(queueMover);
    fileBrowser->offerPlayNext(queueMover);
    followConnection(queueMover);
    showMessagesOf(queueMover);
    auto *storedPlaylists = new StoredPlaylistsController(this);
    ui->tabWidget->addTab(storedPlaylists->page(), tr("Playlists"));
    followConnection(storedPlaylists);
    showMessagesOf(storedPlaylists);
    lyrics = new LyricsController(this);
    ui->tabWidget->addTab(lyrics->page(), tr("Lyrics"));
    followConnection(lyrics);
}

void MainWindow::createPanels()
{
    nowPlaying = new NowPlayingPanel(ui, coverFetcher, this);
    followConnection(nowPlaying);
    connect(nowPlaying, &NowPlayingPanel::songChanged, playlist,
            [this](const QmpdSong &song) { playlist->markNowPlaying(song.id); });
    // Emitted on the fetcher's own thread.
    connect(&coverFetcher, qOverload<bool>(&CoverFetcher::finished), nowPlaying,
            &NowPlayingPanel::onCoverFetched, Qt::QueuedConnection);
    connect(&coverFetcher, &CoverFetcher::apiKeyRejected, this, [this] {
        myShowMessage(tr("Last.fm did not accept the API key; set another one in Settings."));
    }, Qt::QueuedConnection);

    auto *desktop = new DesktopIntegration(this);
    followConnection(desktop);
    connect(&coverFetcher, qOverload<bool>(&CoverFetcher::finished), desktop,
            &DesktopIntegration::onCoverFetched, Qt::QueuedConnection);
    connect(lyrics, &LyricsController::lyricsChanged, desktop, &DesktopIntegration::onLyricsChanged);

    auto *scrobbling = new Scrobbling(ui->actionEnable_scrobbling, this);
    connect(nowPlaying, &NowPlayingPanel::songPlayed, scrobbling, &Scrobbling::onSongPlayed);
    preferences = new Preferences({&coverFetcher, playlist->delegate(), desktop, scrobbling}, this);
}

void MainWindow::createStickerFeatures()
{
    auto *stickers = new StickerSync(this);
    followConnection(stickers);
    auto *ratings = new RatingController(this, ui->gridLayout, stickers->facts(), this);
    followConnection(ratings);
    ratings->addSongTable(ui->playlistTableview);
    ratings->addSongTable(ui->fileList);
    ratings->addSongView(ui->trackList, [this] { return collection->selectedTrackFiles(); });
    ratings->addSongView(ui->albumList, [this] { return collection->selectedAlbumFiles(); });
    auto *playCounter = new PlayCounter(this);
    followConnection(playCounter);
    connect(nowPlaying, &NowPlayingPanel::songPlayed, playCounter, &PlayCounter::onSongPlayed);

    auto *smartPlaylists = new SmartPlaylistsController([this] { return collection->allSongs(); },
                                                        stickers->facts(), this);
    ui->tabWidget->addTab(smartPlaylists->page(), tr("Smart"));
    followConnection(smartPlaylists);
    showMessagesOf(smartPlaylists);
}

void MainWindow::createMenus()
{
    connect(ui->action_Quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    connect(ui->actionLocalhost_6600, &QAction::triggered, connection,
            &ConnectionController::onConnectLocalhost);
    connect(ui->actionOther, &QAction::triggered, connection,
            &ConnectionController::onConnectOther);
    connect(ui->action_Settings, &QAction::triggered, preferences, &Preferences::edit);
    connect(ui->action_Update_database, &QAction::triggered, this, [this] {
        if (ServerConnection *live = connection->connection())
            live->send(&Qmpd::updateDatabase, QStringLiteral("/"));
    });
    ui->action_Quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ui->action_Update_database->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    ui->actionDisconnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    // The entry is not offered; the action and its connection stay.
    ui->menuConnect->removeAction(ui->actionLocalhost_6600);
    auto *playbackMenu = new PlaybackMenu(ui->menuBar, ui->menuFile, this);
    followConnection(playbackMenu);
    followConnection(new LibraryStatsAction(ui->menuFile, ui->action_Settings, this));
    createServerTools(playbackMenu);
}

void MainWindow::createKeys()
{
    const auto addKeys = [this](const QList<QKeySequence> &keys, auto slot) {
        auto *action = new QAction(this);
        action->setShortcuts(keys);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    // Find (Ctrl+F) belongs to the search fields.
    addKeys({QKeySequence::ZoomIn, QKeySequence::ZoomOut}, [this] { toggleFullscreen(); });
    addKeys({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
            [this] { activateFocusedList(true); });
    addKeys({QKeySequence(Qt::Key_Space)}, [this] { activateFocusedList(false); });
    TabNavigation::install(ui->tabWidget);
}

void MainWindow::activateFocusedList(bool enter)
{
    const QWidget *tab = ui->tabWidget->currentWidget();
    if (ui->playlistTableview->hasFocus())
        playlist->playSelected();
    else if (tab == ui->tabCollection)
        collection->activateFocusedList(enter);
    else if (tab == ui->filebrowserTab)
        fileBrowser->activateFocusedList(enter);
}

// Servers kept and switched between, the server's partitions, internet radio.
void MainWindow::createServerTools(PlaybackMenu *playbackMenu)
{
    auto *servers = new ServersMenu(ui->menuFile, ui->action_Quit, this);
    followConnection(servers);
    connect(servers, &ServersMenu::serverChosen, connection, &ConnectionController::connectTo);
    auto *partitions = new PartitionMenu(playbackMenu->getMenu(), this);
    followConnection(partitions);
    showMessagesOf(partitions);
    auto *streams = new StreamMenu(ui->menuFile, ui->action_Quit, this);
    followConnection(streams);
    showMessagesOf(streams);
}

void MainWindow::activateUi(bool on)
{
    ui->controlFrame->setEnabled(on);
    ui->tabWidget->setEnabled(on);
    ui->actionDisconnect->setEnabled(on);
    ui->action_Update_database->setEnabled(on);
}

void MainWindow::showCollectionBusy(bool busy)
{
    if (busy)
        busyIndicator->start();
    else
        busyIndicator->stop();
    // Without a connection there is nothing to update; the connection enables it again.
    ui->action_Update_database->setEnabled(!busy && connection->connection());
    ui->tabCollection->setEnabled(!busy);
    ui->filebrowserTab->setEnabled(!busy);
}

void MainWindow::toggleFullscreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void MainWindow::myShowMessage(const QString &message)
{
    banner->showMessage(message);
}

void MainWindow::connectMPD(QString host, int port, QString password)
{
    connection->connectTo({host, port, password});
}

void MainWindow::autoConnectMPD()
{
    connection->autoConnect();
}
