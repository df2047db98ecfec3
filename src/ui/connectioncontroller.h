// ConnectionController: connecting to, disconnecting from and reconnecting to the MPD server,
// as the window shows it. Owns the connector and the live ServerConnection; tells the rest of
// the window when a connection is ready and when it has closed; shows the connection's errors.
// Created by the main window; GUI thread.
#ifndef CONNECTIONCONTROLLER_H
#define CONNECTIONCONTROLLER_H

#include "core/connectattempt.h"
#include "core/mpdconnector.h"

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

    // Connecting runs in the background; a new request supersedes the running one. With
    // `remember`, the server is stored for autoconnection once the connection is up.
    void connectTo(const ServerAddress &address, bool remember = false);
    // False when no usable server is stored (nothing is tried then).
    bool autoConnect();
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
    void onConnectionLost();
    void onServerError(const QString &text);
    void close();

    QWidget *window;
    QGroupBox *title;
    QAction *disconnectAction;
    MpdConnector connector;
    QPointer<ServerConnection> server;
    // Set by the dialog's "Autoconnect": the server is stored once the attempt succeeds.
    bool rememberOnSuccess = false;
};

#endif
