// ServersMenu: File ▸ Servers, the kept servers with the connected one checked; choosing another
// switches to it. Read from the settings each time it opens, so it shows what the Connect dialog
// last kept. Created by the main window, which wires serverChosen to the connection controller;
// GUI thread.
#ifndef SERVERSMENU_H
#define SERVERSMENU_H

#include "core/serveraddress.h"

#include <QObject>

#include <optional>

class QAction;
class QMenu;
class ServerConnection;

class ServersMenu : public QObject
{
    Q_OBJECT

public:
    // Puts the menu into `fileMenu`, before `before`.
    ServersMenu(QMenu *fileMenu, QAction *before, QObject *parent);

    QMenu *getMenu() const { return menu; }

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    void serverChosen(const ServerAddress &address);

private:
    void rebuild();

    QMenu *menu;
    std::optional<ServerAddress> connected;
};

#endif
