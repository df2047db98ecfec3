#include "ui/connectioncontroller.h"

#include "ui/connectdialog.h"
#include "core/qmpd.h"
#include "core/serverconnection.h"
#include "servers/localservers.h"

#include <QAction>
#include <QDebug>
#include <QGroupBox>
#include <QMessageBox>

#include <utility>

ConnectionController::ConnectionController(QWidget *window, QGroupBox *title, QAction *disconnect)
    : QObject(window), window(window), title(title), disconnectAction(disconnect), connector(this)
{
    connect(&connector, &MpdConnector::connected, this, &ConnectionController::onConnected);
    connect(&connector, &MpdConnector::failed, this, &ConnectionController::onConnectFailed);
    connect(disconnectAction, &QAction::triggered, this, &ConnectionController::onDisconnect);
}

void ConnectionController::showError(QWidget *parent, const QString &text)
{
    qCWarning(lcQmpd) << text;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tuneloom"), text, QMessageBox::Ok, parent);
    box.exec();
}

void ConnectionController::connectTo(const ServerAddress &address)
{
    qDebug().nospace() << "Connecting to " << address.text();
    if (server)
        onDisconnect();
    chosenInDialog.reset();
    searching = false;
    // Supersedes an attempt still running, or a reconnection.
    connector.connectTo(address);
    // Disconnect gives the attempt up.
    disconnectAction->setEnabled(true);
}

void ConnectionController::autoConnect()
{
    if (const std::optional<SavedServer> saved = ServerList::load().autoconnectServer()) {
        connectTo(saved->address);
        return;
    }
    const QList<ServerAddress> candidates
            = LocalServers::candidates(QProcessEnvironment::systemEnvironment());
    qDebug() << "Looking for a server";
    chosenInDialog.reset();
    searching = true;
    connector.connectToFirst(candidates);
    disconnectAction->setEnabled(true);
}

void ConnectionController::onConnectLocalhost()
{
    connectTo({QStringLiteral("localhost"), LocalServers::DefaultPort, QString()});
}

void ConnectionController::onConnectOther()
{
    ConnectDialog dialog(ServerList::load(), window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.serversRemoved())
        dialog.getServers().save();
    const SavedServer chosen = dialog.getServer();
    if (chosen.address.host.isEmpty()) {
        showError(window, tr("Enter the server's host name or the path of its socket."));
        return;
    }
    connectTo(chosen.address);
    chosenInDialog = chosen;
}

void ConnectionController::onConnected(ServerConnection *connection)
{
    server = connection;
    connection->setParent(this);
    connect(connection, &ServerConnection::connectionLost, this,
            &ConnectionController::onConnectionLost);
    connect(connection, &ServerConnection::serverError, this,
            &ConnectionController::onServerError);
    searching = false;
    remember();
    emit message(tr("Connected to MPD succesfully!"));
    emit connectionReady(connection);
}

void ConnectionController::remember()
{
    // A server with a name, or one to connect to at start, is kept; any other was for this once.
    const std::optional<SavedServer> chosen = std::exchange(chosenInDialog, std::nullopt);
    if (!chosen || (chosen->name.isEmpty() && !chosen->autoconnect))
        return;
    ServerList list = ServerList::load();
    list.remember(*chosen);
    list.save();
}

void ConnectionController::onConnectFailed(const QString &error)
{
    chosenInDialog.reset();
    // Nothing found where a server usually is: the window waits, quietly, to be told where.
    if (std::exchange(searching, false) && !connector.isActive() && !server) {
        disconnectAction->setEnabled(false);
        return;
    }
    if (!error.isEmpty())
        showError(window, error);
    // The box waits for the user, who may have connected elsewhere meanwhile.
    if (connector.isActive() || server)
        return;
    qDebug() << "ERROR: Problems connecting to MPD, QMPD object deleted!";
    onDisconnect();
    emit message(tr("Could not connect to MPD, check your settings."));
}

void ConnectionController::onServerError(const QString &text)
{
    // A refusal leaves the connection as it was: the server answered, and goes on answering.
    showError(window, text);
}

void ConnectionController::onConnectionLost()
{
    close();
    title->setTitle(tr("Reconnecting to MPD..."));
    emit message(tr("Reconnecting to MPD..."));
    connector.reconnect();
    // Disconnect stops the retries.
    disconnectAction->setEnabled(true);
}

void ConnectionController::onDisconnect()
{
    connector.cancel();
    close();
    title->setTitle(tr("Disconnected"));
    emit message(tr("Disconnected from MPD"));
}

void ConnectionController::close()
{
    if (server) {
        server->disconnect(this);
        // This may run from one of its own signals: it goes with the next turn of the loop.
        server->deleteLater();
        server = nullptr;
    }
    emit connectionClosed();
}
