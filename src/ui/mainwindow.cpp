#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/busyindicator.h"
#include "ui/connectioncontroller.h"
#include "desktop/desktopintegration.h"
#include "collection/collectionsearch.h"
#include "filebrowser/filebrowsertreemodel.h"
#include "ui/infobanner.h"
#include "player/playbackmenu.h"
#include "ui/nowplayingpanel.h"
#include "playlist/playlistitemdelegate.h"
#include "core/qmpdsong.h"
#include "playlist/queuemover.h"
#include "playlist/queuefiltermodel.h"
#include "ui/searchfield.h"
#include "core/serverconnection.h"
#include "playlist/songmodel.h"
#include "playlist/songsortfiltermodel.h"
#include "storedplaylists/storedplaylistscontroller.h"
#include "radio/streammenu.h"
#include "servers/partitionmenu.h"
#include "servers/serversmenu.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>

namespace {

// A worker must not be destroyed while it runs, nor outlive what it writes to.
template<typename Worker> void stopWorker(Worker &worker)
{
    worker.abort();
    worker.wait();
}

// Plain files only: hidden files and subdirectories are not ours to delete.
void removeCoverFiles()
{
    const QDir directory(CoverFetcher::coverDirectory());
    if (!directory.exists())
        return;
    const QStringList files = directory.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString &file : files)
        QFile::remove(directory.filePath(file));
}

// A part of the window that follows the connection: told when one is up and when it ends.
template<typename Part> void followConnection(ConnectionController *connection, Part *part)
{
    QObject::connect(connection, &ConnectionController::connectionReady, part,
                     &Part::onConnectionReady);
    QObject::connect(connection, &ConnectionController::connectionClosed, part,
                     &Part::onConnectionClosed);
}

}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui_MainWindow),
      playlistModel(std::make_unique<SongModel>())
{
    playlistDelegate = new PlaylistItemDelegate(this);
    fileListProxy = new SongSortFilterModel(this);
    ui->setupUi(this);
    banner = new InfoBanner(this);
    busyIndicator = new BusyIndicator(this);
    ui->tabWidget->setCornerWidget(busyIndicator, Qt::TopRightCorner);

    connection = new ConnectionController(this, ui->nowplayingGroup, ui->actionDisconnect);
    // The window's own share first: the parts that follow find the lists already emptied.
    connect(connection, &ConnectionController::connectionReady, this,
            &MainWindow::onConnectionReady);
    connect(connection, &ConnectionController::connectionClosed, this,
            &MainWindow::onConnectionClosed);
    connect(connection, &ConnectionController::message, this, &MainWindow::myShowMessage);
    nowPlaying = new NowPlayingPanel(ui, coverFetcher, this);
    followConnection(connection, nowPlaying);
    connect(nowPlaying, &NowPlayingPanel::songChanged, this,
            [this](const QmpdSong &song) { markNowPlaying(song.id); });
    connect(nowPlaying, &NowPlayingPanel::songPlayed, this, &MainWindow::queueForScrobbling);

    connect(ui->action_Quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    connect(ui->actionLocalhost_6600, &QAction::triggered, connection,
            &ConnectionController::onConnectLocalhost);
    connect(ui->actionOther, &QAction::triggered, connection,
            &ConnectionController::onConnectOther);
    connect(ui->action_Settings, &QAction::triggered, this, &MainWindow::onSettings);
    connect(ui->actionEnable_scrobbling, &QAction::toggled, this, &MainWindow::onEnableScrobbling);
    // Emitted on the fetcher's own thread.
    connect(&coverFetcher, qOverload<bool>(&CoverFetcher::finished), nowPlaying,
            &NowPlayingPanel::onCoverFetched, Qt::QueuedConnection);
    connect(&coverFetcher, &CoverFetcher::apiKeyRejected, this, &MainWindow::onApiKeyRejected,
            Qt::QueuedConnection);
    // Sent from the builder's thread: handled in this one, after the build.
    connect(&collectionBuilder, &CollectionBuilder::finished, this, &MainWindow::onCollectionBuilt,
            Qt::QueuedConnection);
    connect(ui->artistList, &QListView::clicked, this, &MainWindow::onCArtistClick);
    connect(ui->albumList, &QListView::clicked, this, &MainWindow::onCAlbumClick);
    connect(ui->playlistDelSelButton, &QPushButton::clicked, this,
            &MainWindow::onDeleteSelectedFromPlaylist);
    connect(ui->playlistTableview, &QTableView::doubleClicked, this,
            &MainWindow::onPlaylistDoubleClick);
    desktop = new DesktopIntegration(this);
    followConnection(connection, desktop);
    connect(&coverFetcher, qOverload<bool>(&CoverFetcher::finished), desktop,
            &DesktopIntegration::onCoverFetched, Qt::QueuedConnection);

    ui->action_Quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ui->action_Update_database->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    ui->actionDisconnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));

    createActions();
    ui->statusBar->hide();
    // The entry is not offered; the action and its connection stay.
    ui->menuConnect->removeAction(ui->actionLocalhost_6600);
    buildCollectionMenus();
    buildFileBrowserMenus();
    auto *playbackMenu = new PlaybackMenu(ui->menuBar, ui->menuFile, this);
    followConnection(connection, playbackMenu);
    createServerTools(playbackMenu);
    queueFilter = new QueueFilterModel(this);
    queueFilter->setSourceModel(playlistModel.get());
    ui->playlistTableview->setModel(queueFilter);
    connect(ui->playlistFilter, &QLineEdit::textChanged, queueFilter, &QueueFilterModel::setSearch);
    SearchField::installKeys(ui->playlistFilter, ui->tabPlaylist);
    createQueueTools();
    collectionSearch = new CollectionSearch(collectionBuilder,
                                            {ui->collectionFilter, ui->artistList, ui->albumList,
                                             ui->trackList, &artistModel, &albumModel},
                                            this);
    SearchField::installKeys(ui->collectionFilter, ui->tabCollection);

    loadSettings();
    restoreAppState();
    if (lfmUser.isEmpty())
        ui->actionEnable_scrobbling->setEnabled(false);

    setupTables();
    setVisible(true);
    // Disabled until a connection is up.
    activateUi(false);
    autoConnectMPD();
    ui->artistList->setModel(&artistModel);
    ui->albumList->setModel(&albumModel);
}

MainWindow::~MainWindow()
{
    stopWorker(coverFetcher);
    stopWorker(scrobbler);
    // A running thread must not be destroyed; the build stops at its next song.
    collectionBuilder.requestInterruption();
    collectionBuilder.wait();
    // The connection's thread ends before the parts it reports to.
    delete connection;
    playlistModel.reset();
    saveAppState();
    if (deleteAlbumArt)
        removeCoverFiles();
    delete ui;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
}

void MainWindow::createActions()
{
    const auto makeAction = [this](const QList<QKeySequence> &keys, QWidget *scope) {
        auto *action = new QAction(this);
        action->setShortcuts(keys);
        // Window shortcuts of a widget only work while it is visible: a tab
        // page's keys are live only while that page is shown.
        scope->addAction(action);
        return action;
    };
    cutAction = makeAction({QKeySequence::Cut}, ui->tabPlaylist);
    pasteAction = makeAction({QKeySequence::Paste}, ui->tabPlaylist);
    deleteAction = makeAction({QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::Key_Delete)},
                              ui->tabPlaylist);
    // Find (Ctrl+F) belongs to the search fields.
    fullscreenAction = makeAction({QKeySequence::ZoomIn, QKeySequence::ZoomOut}, this);
    enterAction = makeAction({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}, this);
    spaceAction = makeAction({QKeySequence(Qt::Key_Space)}, this);
    updateDirAction = makeAction({QKeySequence(Qt::Key_U)}, ui->filebrowserTab);

    connect(cutAction, &QAction::triggered, this, &MainWindow::onCutSelected);
    connect(pasteAction, &QAction::triggered, this, &MainWindow::onPasteSongs);
    connect(deleteAction, &QAction::triggered, this, &MainWindow::onDeleteSelectedFromPlaylist);
    connect(fullscreenAction, &QAction::triggered, this, &MainWindow::onToggleFullscreen);
    connect(enterAction, &QAction::triggered, this, &MainWindow::onEnter);
    connect(spaceAction, &QAction::triggered, this, &MainWindow::onSpace);
    connect(updateDirAction, &QAction::triggered, this, &MainWindow::onUpdateDir);
}

// Arranging the queue by hand, and the server's stored playlists in a tab of their own.
void MainWindow::createQueueTools()
{
    auto *queueMover = new QueueMover(ui->playlistTableview, this);
    queueMover->addPlayNextSource(ui->artistList, addArtistAction);
    queueMover->addPlayNextSource(ui->albumList, addAlbumAction);
    queueMover->addPlayNextSource(ui->trackList, addTrackAction);
    queueMover->addPlayNextSource(ui->directoryTree, fbAddDirAction);
    queueMover->addPlayNextSource(ui->fileList, fbAddTrackAction);
    followConnection(connection, queueMover);
    connect(queueMover, &QueueMover::message, this, &MainWindow::myShowMessage);

    auto *storedPlaylists = new StoredPlaylistsController(this);
    ui->tabWidget->addTab(storedPlaylists->page(), tr("Playlists"));
    followConnection(connection, storedPlaylists);
    connect(storedPlaylists, &StoredPlaylistsController::message, this, &MainWindow::myShowMessage);
}

// Servers kept and switched between, the server's partitions, internet radio.
void MainWindow::createServerTools(PlaybackMenu *playbackMenu)
{
    auto *servers = new ServersMenu(ui->menuFile, this);
    followConnection(connection, servers);
    connect(servers, &ServersMenu::serverChosen, connection, &ConnectionController::connectTo);
    auto *partitions = new PartitionMenu(playbackMenu->getMenu(), this);
    followConnection(connection, partitions);
    connect(partitions, &PartitionMenu::message, this, &MainWindow::myShowMessage);
    auto *streams = new StreamMenu(ui->menuFile, this);
    followConnection(connection, streams);
    connect(streams, &StreamMenu::message, this, &MainWindow::myShowMessage);
}

void MainWindow::onToggleFullscreen()
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
