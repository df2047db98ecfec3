#include "servers/serversmenu.h"

#include "core/serverconnection.h"
#include "servers/serverlist.h"

#include <QMenu>

ServersMenu::ServersMenu(QMenu *fileMenu, QAction *before, QObject *parent)
    : QObject(parent), menu(new QMenu(tr("Servers"), fileMenu))
{
    fileMenu->insertMenu(before, menu);
    menu->setObjectName(QStringLiteral("menuServers"));
    connect(menu, &QMenu::aboutToShow, this, &ServersMenu::rebuild);
    rebuild();
}

void ServersMenu::onConnectionReady(ServerConnection *connection)
{
    connected = connection->address();
    rebuild();
}

void ServersMenu::onConnectionClosed()
{
    connected.reset();
    rebuild();
}

void ServersMenu::rebuild()
{
    menu->clear();
    const ServerList list = ServerList::load();
    for (const SavedServer &server : list.servers()) {
        QAction *action = menu->addAction(server.caption());
        action->setCheckable(true);
        action->setChecked(connected && connected->sameServer(server.address));
        connect(action, &QAction::triggered, this, [this, address = server.address] {
            if (!connected || !connected->sameServer(address))
                emit serverChosen(address);
        });
    }
    menu->setEnabled(!list.servers().isEmpty());
}
