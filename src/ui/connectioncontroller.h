// ConnectionController: connecting to, disconnecting from and reconnecting to the MPD server,
// as the window shows it. Owns the connector and the live ServerConnection; tells the rest of
// the window when a connection is ready and when it has closed; shows the connection's errors.
// Created by the main window; GUI thread.
#ifndef CONNECTIONCONTROLLER_H
#define CONNECTIONCONTROLLER_H

#include "core/connectattempt.h"
#include "core/mpdconnector.h"
#include "servers/serverlist.h"

#include <QObject>
#include <QPointer>

class QAction;
class QGroupBox;
class QWidget;
class ServerConnection;

class ConnectionController : public QObject
{
    Q_OBJECT

public:
    // `title` shows the connection's state while there is no player state to show; `disconnect`
    // is enabled while there is something to disconnect from.
    ConnectionController(QWidget *window, QGroupBox *title, QAction *disconnect);

    // The live connection, or null.
    ServerConnection *connection() const { return server; }

    // Connecting runs in the background; a new request supersedes the running one.
    void connectTo(const ServerAddress &address);
    // Connects to the server kept for autoconnection, or, when there is none, looks for one
    // (LocalServers) and quietly gives up when none answers.
    void autoConnect();
    void onConnectLocalhost();
    void onConnectOther();
    void onDisconnect();

    static void showError(QWidget *parent, const QString &text);

signals:
    // A connection is up (after every successful connect); its first status follows.
    void connectionReady(ServerConnection *connection);
    // The connection ended, by the user's wish or not, or an attempt failed.
    void connectionClosed();
    void message(const QString &text);

private:
    void onConnected(ServerConnection *connection);
    void onConnectFailed(const QString &error);
    // Keeps the server chosen in the dialog in the list, once it answered.
    void remember();
    void onConnectionLost();
    void onServerError(const QString &text);
    void close();

    QWidget *window;
    QGroupBox *title;
    QAction *disconnectAction;
    MpdConnector connector;
    QPointer<ServerConnection> server;
    // What the Connect dialog asked for: kept in the server list once the attempt succeeds.
    std::optional<SavedServer> chosenInDialog;
    bool searching = false;
};

#endif
