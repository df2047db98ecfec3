#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "busyindicator.h"
#include "desktopintegration.h"
#include "collectionsearch.h"
#include "filebrowsertreemodel.h"
#include "infobanner.h"
#include "playbackmenu.h"
#include "playlistitemdelegate.h"
#include "qmpd.h"
#include "qmpdsong.h"
#include "queuemover.h"
#include "queuefiltermodel.h"
#include "searchfield.h"
#include "songmodel.h"
#include "songsortfiltermodel.h"
#include "storedplaylistscontroller.h"

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
template<typename Part> void followConnection(MainWindow *window, Part *part)
{
    QObject::connect(window, &MainWindow::connectionReady, part, &Part::onConnectionReady);
    QObject::connect(window, &MainWindow::connectionClosed, part, &Part::onConnectionClosed);
}

}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui_MainWindow),
      connector(this),
      playlistModel(std::make_unique<SongModel>()),
      playlistSync(*playlistModel)
{
    playlistDelegate = new PlaylistItemDelegate(this);
    fileListProxy = new SongSortFilterModel(this);
    ui->setupUi(this);
    banner = new InfoBanner(this);
    busyIndicator = new BusyIndicator(this);
    ui->tabWidget->setCornerWidget(busyIndicator, Qt::TopRightCorner);

    connect(ui->action_Quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    connect(ui->actionDisconnect, &QAction::triggered, this, &MainWindow::onDisconnect);
    connect(ui->actionLocalhost_6600, &QAction::triggered, this, &MainWindow::onConnectLocalhost);
    connect(ui->actionOther, &QAction::triggered, this, &MainWindow::onConnectOther);
    connect(ui->action_Settings, &QAction::triggered, this, &MainWindow::onSettings);
    connect(ui->actionEnable_scrobbling, &QAction::toggled, this, &MainWindow::onEnableScrobbling);
    // Emitted on the fetcher's own thread.
    connect(&coverFetcher, qOverload<bool>(&CoverFetcher::finished), this,
            &MainWindow::onCoverFetched, Qt::QueuedConnection);
    connect(&coverFetcher, &CoverFetcher::apiKeyRejected, this, &MainWindow::onApiKeyRejected,
            Qt::QueuedConnection);
    // Sent from the builder's thread: handled in this one, after the build.
    connect(&collectionBuilder, &CollectionBuilder::finished, this, &MainWindow::onCollectionBuilt,
            Qt::QueuedConnection);
    connect(&connector, &MpdConnector::connected, this, &MainWindow::onConnected);
    connect(&connector, &MpdConnector::failed, this, &MainWindow::onConnectFailed);
    connect(ui->artistList, &QListView::clicked, this, &MainWindow::onCArtistClick);
    connect(ui->albumList, &QListView::clicked, this, &MainWindow::onCAlbumClick);
    desktop = new DesktopIntegration(this);
    followConnection(this, desktop);
    connect(&coverFetcher, qOverload<bool>(&CoverFetcher::finished), desktop,
            &DesktopIntegration::onCoverFetched, Qt::QueuedConnection);

    ui->action_Quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ui->action_Update_database->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    ui->actionDisconnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));

    showFullSizeAction = new QAction(tr("Show fullsize"), this);
    ui->imageCDCover->addAction(showFullSizeAction);
    ui->imageCDCover->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(showFullSizeAction, &QAction::triggered, this, &MainWindow::onCoverShowFullSize);

    createActions();
    ui->statusBar->hide();
    // The entry is not offered; the action and its connection stay.
    ui->menuConnect->removeAction(ui->actionLocalhost_6600);
    buildCollectionMenus();
    buildFileBrowserMenus();
    followConnection(this, new PlaybackMenu(ui->menuBar, ui->menuFile, this));
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
    delete qmpd;
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
    followConnection(this, queueMover);
    connect(queueMover, &QueueMover::message, this, &MainWindow::myShowMessage);

    auto *storedPlaylists = new StoredPlaylistsController(this);
    ui->tabWidget->addTab(storedPlaylists->page(), tr("Playlists"));
    followConnection(this, storedPlaylists);
    connect(storedPlaylists, &StoredPlaylistsController::message, this, &MainWindow::myShowMessage);
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

void MainWindow::showCover(const QPixmap &pixmap)
{
    coverPixmap = pixmap;
    auto *scene = new QGraphicsScene(this);
    // Scaled for the screen's pixels, so that a high-density screen shows it sharp.
    const qreal ratio = ui->imageCDCover->devicePixelRatioF();
    const int side = qRound(148 * ratio);
    QPixmap shown = pixmap.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    shown.setDevicePixelRatio(ratio);
    scene->addPixmap(shown);
    QGraphicsScene *previous = ui->imageCDCover->scene();
    ui->imageCDCover->setScene(scene);
    // Nothing else refers to the old scene.
    if (previous)
        previous->deleteLater();
}
