// Connecting to and disconnecting from the MPD server.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "connectdialog.h"
#include "filebrowsertreemodel.h"
#include "qmpd.h"
#include "settingsstore.h"

#include <QDebug>

#include <utility>

void MainWindow::connectMPD(QString host, int port, QString password)
{
    qDebug().nospace() << "Connecting to " << host;
    if (qmpd)
        onDisconnect();
    autoconnectOnSuccess = false;
    // Supersedes an attempt still running, or a reconnection.
    connector.connectTo({host, port, password});
    // Disconnect gives the attempt up.
    ui->actionDisconnect->setEnabled(true);
}

void MainWindow::onConnected(Qmpd *q)
{
    setQmpd(q);
    activateUi(true);
    myShowMessage(tr("Connected to MPD succesfully!"));
    const int volume = mpd_status_get_volume(qmpd->getMpdObj());
    if (volume >= 0)
        ui->volumeSlider->setValue(volume);
    updatePlaylist(qmpd->getMpdObj());
    initializeFileBrowser();
    collectionBuilder.setForceFromMPD(false);
    buildCollectionNow();
    if (std::exchange(autoconnectOnSuccess, false)) {
        SettingsStore settings;
        settings->setValue(SettingsKey::AutoconnectHost, q->host());
        settings->setValue(SettingsKey::AutoconnectPort, q->port());
        settings->setValue(SettingsKey::AutoconnectPassword, q->password());
    }
    // The song, state and volume of the first status, shown before anyone hears of it.
    qmpd->announceFirstStatus();
    // Unless that found the connection lost already.
    if (qmpd == q)
        emit connectionReady(qmpd);
}

void MainWindow::onConnectFailed()
{
    qDebug() << "ERROR: Problems connecting to MPD, QMPD object deleted!";
    onDisconnect();
    myShowMessage(tr("Could not connect to MPD, check your settings."));
}

bool MainWindow::autoConnectMPD()
{
    SettingsStore settings;
    const QString host = settings->value(SettingsKey::AutoconnectHost, QString()).toString();
    bool portIsNumber = false;
    // Read wide: a text number past int's range converts with its high bits cut off. libmpd
    // takes 0 for its default port and the socket layer keeps only 16 bits of any other, so
    // only a real port number is tried.
    const qlonglong port = settings->value(SettingsKey::AutoconnectPort).toLongLong(&portIsNumber);
    const QString password
            = settings->value(SettingsKey::AutoconnectPassword, QString()).toString();
    if (!portIsNumber || port < 1 || port > 65535)
        return false;
    connectMPD(host, int(port), password);
    return true;
}

void MainWindow::onConnectLocalhost()
{
    if (qmpd)
        onDisconnect();
    connectMPD(QStringLiteral("localhost"), 6600, QString());
}

void MainWindow::onConnectOther()
{
    ConnectDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (qmpd)
        onDisconnect();
    const QString host = dialog.getHost();
    const QString password = dialog.getPasswd();
    const int port = dialog.getPort();
    const bool autoconnect = dialog.getAutoconnect();
    connectMPD(host, port, password);
    autoconnectOnSuccess = autoconnect;
}

bool MainWindow::setQmpd(Qmpd *q)
{
    if (!q)
        return false;
    qmpd = q;
    qmpdConnections = {
            connect(q, &Qmpd::mpdStatusChanged, this, &MainWindow::onMpdStatusChange),
            connect(q, &Qmpd::mpdErrorOccured, this, &MainWindow::onMpdError),
            connect(q, &Qmpd::connectionLost, this, &MainWindow::onConnectionLost),
            connect(ui->action_Update_database, &QAction::triggered, q, &Qmpd::onUpdateDB),
            connect(ui->playpauseButton, &QPushButton::clicked, q, &Qmpd::onPlaypauseClick),
            connect(ui->stopButton, &QPushButton::clicked, q, &Qmpd::onStopClick),
            connect(ui->prevButton, &QPushButton::clicked, q, &Qmpd::onPrevClick),
            connect(ui->nextButton, &QPushButton::clicked, q, &Qmpd::onNextClick),
            connect(ui->songProgressSlider, &QSlider::sliderMoved, q, &Qmpd::onSliderMoved),
            connect(ui->songProgressSlider, &QSlider::sliderPressed, q, &Qmpd::onSliderPress),
            connect(ui->songProgressSlider, &QSlider::sliderReleased, q, &Qmpd::onSliderRelease),
            connect(ui->volumeSlider, &QSlider::sliderMoved, q, &Qmpd::onVolumeSliderMoved),
            connect(ui->volumeButton, &QPushButton::clicked, q, &Qmpd::onVolumeButton),
            connect(ui->playlistDelAllButton, &QPushButton::clicked, q, &Qmpd::onClearPlaylist),
            connect(q, &Qmpd::updatePlaylistNow, this, &MainWindow::updatePlaylist),
    };
    // Both ends outlive every connection: made once for the whole run.
    connect(ui->playlistDelSelButton, &QPushButton::clicked, this,
            &MainWindow::onDeleteSelectedFromPlaylist, Qt::UniqueConnection);
    connect(ui->playlistTableview, &QTableView::doubleClicked, this,
            &MainWindow::onPlaylistDoubleClick, Qt::UniqueConnection);
    ui->playpauseButton->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_P));
    return true;
}

void MainWindow::activateUi(bool on)
{
    ui->controlFrame->setEnabled(on);
    ui->tabWidget->setEnabled(on);
    ui->actionDisconnect->setEnabled(on);
    ui->action_Update_database->setEnabled(on);
}

void MainWindow::onMpdError(MpdObj *mi)
{
    // Errors of a connection already released are old news. Any error on the
    // live one ends it: libmpd may already have dropped a broken connection,
    // and a window that still looked connected would just stop responding.
    if (qmpd && qmpd->getMpdObj() == mi)
        onDisconnect();
}

void MainWindow::onConnectionLost(MpdObj *mi)
{
    if (!qmpd || qmpd->getMpdObj() != mi)
        return;
    closeConnection();
    ui->nowplayingGroup->setTitle(tr("Reconnecting to MPD..."));
    myShowMessage(tr("Reconnecting to MPD..."));
    connector.reconnect();
    // Disconnect stops the retries.
    ui->actionDisconnect->setEnabled(true);
}

void MainWindow::releaseQmpd()
{
    if (!qmpd)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(qmpdConnections))
        disconnect(connection);
    qmpdConnections.clear();
    qmpd->retire();
    // This may run from a signal of the Qmpd itself; free it from the event
    // loop. Parented so that it cannot outlive the window.
    qmpd->setParent(this);
    qmpd->deleteLater();
    qmpd = nullptr;
}

void MainWindow::onDisconnect()
{
    connector.cancel();
    closeConnection();
    ui->nowplayingGroup->setTitle(tr("Disconnected"));
    myShowMessage(tr("Disconnected from MPD"));
}

void MainWindow::closeConnection()
{
    // Not waited for: abort() ends a download at once, and the result is ignored.
    if (coverFetcher.isRunning())
        coverFetcher.abort();
    // A build still running belongs to the connection being closed: cut it short
    // and don't show it when it ends.
    if (collectionBuilder.isRunning())
        collectionBuilder.requestInterruption();
    ++connectionSerial;
    const bool wasConnected = qmpd != nullptr;
    releaseQmpd();
    if (wasConnected)
        emit connectionClosed();
    emptyPlaylist();
    emptyCollectionLists();
    fbDirTree.clear();
    if (fbModel)
        fbModel->setDirTree(fbDirTree);
    ui->lblAlbum->setText(QStringLiteral("-"));
    ui->lblArtistSong->setText(QStringLiteral("-"));
    ui->lblGenre->setText(QStringLiteral("-"));
    ui->lblYear->setText(QStringLiteral("-"));
    ui->lblSongProgress->setText(QStringLiteral("- / -"));
    ui->songProgressSlider->setValue(0);
    showCover(QPixmap(QStringLiteral(":/unknowncoverimage")));
    activateUi(false);
}
