// What the window does when a connection comes and goes, and with the database updates its
// status reports.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "collection/collectionsearch.h"
#include "ui/connectioncontroller.h"
#include "filebrowser/filebrowsertreemodel.h"
#include "core/serverconnection.h"
#include "playlist/songmodel.h"

void MainWindow::connectMPD(QString host, int port, QString password)
{
    connection->connectTo({host, port, password});
}

bool MainWindow::autoConnectMPD()
{
    return connection->autoConnect();
}

ServerConnection *MainWindow::server() const
{
    return connection->connection();
}

void MainWindow::onConnectionReady(ServerConnection *live)
{
    activateUi(true);
    serverConnections = {
            connect(live, &ServerConnection::statusChanged, this, &MainWindow::onServerStatus),
            connect(live, &ServerConnection::queueChanged, this, &MainWindow::onQueueChanged),
            connect(ui->action_Update_database, &QAction::triggered, live,
                    [live] { live->send(&Qmpd::updateDatabase, QStringLiteral("/")); }),
            connect(ui->playlistDelAllButton, &QPushButton::clicked, live,
                    [live] { live->send(&Qmpd::clearQueue); }),
    };
    initializeFileBrowser();
    collectionBuilder.setForceFromMPD(false);
    buildCollectionNow();
}

void MainWindow::onConnectionClosed()
{
    for (const QMetaObject::Connection &wire : std::as_const(serverConnections))
        disconnect(wire);
    serverConnections.clear();
    // A build still running belongs to the connection being closed: cut it short
    // and don't show it when it ends.
    if (collectionBuilder.isRunning())
        collectionBuilder.requestInterruption();
    ++connectionSerial;
    playlistModel->clear();
    collectionSearch->showNothing();
    fbDirTree.clear();
    if (fbModel)
        fbModel->setDirTree(fbDirTree);
    activateUi(false);
}

void MainWindow::activateUi(bool on)
{
    ui->controlFrame->setEnabled(on);
    ui->tabWidget->setEnabled(on);
    ui->actionDisconnect->setEnabled(on);
    ui->action_Update_database->setEnabled(on);
}

void MainWindow::onServerStatus(const MpdStatus &status, MpdStatus::Changes what)
{
    // An update that starts and ends between two statuses shows only as a changed database;
    // its end must rebuild the collection all the same.
    if (!(what & (MpdStatus::Updating | MpdStatus::Database)))
        return;
    if (!status.updatingDatabase) {
        myShowMessage(tr("Database updated, rebuilding collection..."));
        collectionBuilder.setForceFromMPD(true);
        buildCollectionNow();
    } else if (what & MpdStatus::Updating) {
        myShowMessage(tr("Database update started!"));
    }
}
