#include "ui/connectioncontroller.h"

#include "ui/connectdialog.h"
#include "core/qmpd.h"
#include "core/serverconnection.h"
#include "core/settingsstore.h"

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

void ConnectionController::connectTo(const ServerAddress &address, bool remember)
{
    qDebug().nospace() << "Connecting to " << address.host;
    if (server)
        onDisconnect();
    rememberOnSuccess = remember;
    // Supersedes an attempt still running, or a reconnection.
    connector.connectTo(address);
    // Disconnect gives the attempt up.
    disconnectAction->setEnabled(true);
}

bool ConnectionController::autoConnect()
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
    connectTo({host, int(port), password});
    return true;
}

void ConnectionController::onConnectLocalhost()
{
    connectTo({QStringLiteral("localhost"), 6600, QString()});
}

void ConnectionController::onConnectOther()
{
    ConnectDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    connectTo({dialog.getHost(), dialog.getPort(), dialog.getPasswd()}, dialog.getAutoconnect());
}

void ConnectionController::onConnected(ServerConnection *connection)
{
    server = connection;
    connection->setParent(this);
    connect(connection, &ServerConnection::connectionLost, this,
            &ConnectionController::onConnectionLost);
    connect(connection, &ServerConnection::serverError, this,
            &ConnectionController::onServerError);
    if (std::exchange(rememberOnSuccess, false)) {
        SettingsStore settings;
        settings->setValue(SettingsKey::AutoconnectHost, connection->host());
        settings->setValue(SettingsKey::AutoconnectPort, connection->port());
        settings->setValue(SettingsKey::AutoconnectPassword, connection->password());
    }
    emit message(tr("Connected to MPD succesfully!"));
    emit connectionReady(connection);
}

void ConnectionController::onConnectFailed(const QString &error)
{
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
