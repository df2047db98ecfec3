// ServerList: the servers the user keeps (name, address, password, whether to connect to it at
// start, the partition last chosen on it), as the settings file stores them. A settings file from
// before the list, with its one autoconnect server, reads as a list of that server. A plain
// value, loaded and saved whole; GUI thread.
#ifndef SERVERLIST_H
#define SERVERLIST_H

#include "core/serveraddress.h"

#include <QList>
#include <QString>

#include <optional>

struct SavedServer
{
    QString name;
    ServerAddress address;
    bool autoconnect = false;
    QString partition;  // empty: the server's default one

    // The name, or the address for a server without one.
    QString caption() const { return name.isEmpty() ? address.text() : name; }
};

class ServerList
{
public:
    static ServerList load();
    void save() const;

    const QList<SavedServer> &servers() const { return entries; }
    // The first server to connect to at start.
    std::optional<SavedServer> autoconnectServer() const;
    // Replaces the entry of the same server, or adds one at the end. Only one server connects at
    // start: one that does takes the mark from the others.
    void remember(const SavedServer &server);
    void remove(int index);
    int indexOf(const ServerAddress &address) const;
    QString partitionOf(const ServerAddress &address) const;
    // Keeps the server too, if it was not kept yet.
    void setPartition(const ServerAddress &address, const QString &partition);

private:
    QList<SavedServer> entries;
};

#endif
