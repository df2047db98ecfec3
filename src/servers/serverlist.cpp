#include "servers/serverlist.h"

#include "core/settingsstore.h"

namespace {

constexpr char NameKey[] = "name";
constexpr char HostKey[] = "host";
constexpr char PortKey[] = "port";
constexpr char PasswordKey[] = "password";
constexpr char AutoconnectKey[] = "autoconnect";
constexpr char PartitionKey[] = "partition";

// Read wide: a text number past int's range converts with its high bits cut off. libmpd takes 0
// for its default port and the socket layer keeps only 16 bits of any other, so a server on a
// port that is not a real port number is not kept. A socket's port means nothing.
std::optional<ServerAddress> readAddress(QSettings &settings, const char *hostKey,
                                         const char *portKey, const char *passwordKey)
{
    ServerAddress address{settings.value(hostKey).toString(), 0,
                          settings.value(passwordKey).toString()};
    bool portIsNumber = false;
    const qlonglong port = settings.value(portKey).toLongLong(&portIsNumber);
    if (address.host.isEmpty() && !portIsNumber)
        return std::nullopt;
    if (address.isSocket())
        return address;
    if (!portIsNumber || port < 1 || port > 65535)
        return std::nullopt;
    address.port = int(port);
    return address;
}

}  // namespace

ServerList ServerList::load()
{
    SettingsStore store;
    QSettings &settings = *store.operator->();
    ServerList list;
    const int size = settings.beginReadArray(SettingsKey::Servers);
    for (int i = 0; i < size; ++i) {
        settings.setArrayIndex(i);
        if (const auto address = readAddress(settings, HostKey, PortKey, PasswordKey)) {
            list.entries.append({settings.value(NameKey).toString(), *address,
                                 settings.value(AutoconnectKey).toBool(),
                                 settings.value(PartitionKey).toString()});
        }
    }
    settings.endArray();
    if (size > 0)
        return list;
    if (const auto old = readAddress(settings, SettingsKey::AutoconnectHost,
                                     SettingsKey::AutoconnectPort,
                                     SettingsKey::AutoconnectPassword))
        list.entries.append({QString(), *old, true, QString()});
    return list;
}

void ServerList::save() const
{
    SettingsStore store;
    QSettings &settings = *store.operator->();
    // The list replaces the old single server, which would otherwise come back once the list is
    // empty.
    settings.remove(SettingsKey::AutoconnectGroup);
    settings.remove(SettingsKey::Servers);
    settings.beginWriteArray(SettingsKey::Servers, int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const SavedServer &server = entries.at(i);
        settings.setArrayIndex(i);
        settings.setValue(NameKey, server.name);
        settings.setValue(HostKey, server.address.host);
        settings.setValue(PortKey, server.address.port);
        settings.setValue(PasswordKey, server.address.password);
        settings.setValue(AutoconnectKey, server.autoconnect);
        settings.setValue(PartitionKey, server.partition);
    }
    settings.endArray();
}

std::optional<SavedServer> ServerList::autoconnectServer() const
{
    for (const SavedServer &server : entries) {
        if (server.autoconnect)
            return server;
    }
    return std::nullopt;
}

void ServerList::remember(const SavedServer &server)
{
    if (server.autoconnect) {
        for (SavedServer &other : entries)
            other.autoconnect = false;
    }
    const int index = indexOf(server.address);
    if (index < 0) {
        entries.append(server);
        return;
    }
    SavedServer &kept = entries[index];
    const QString partition = kept.partition;
    kept = server;
    if (kept.partition.isEmpty())
        kept.partition = partition;
}

void ServerList::remove(int index)
{
    if (index >= 0 && index < entries.size())
        entries.removeAt(index);
}

int ServerList::indexOf(const ServerAddress &address) const
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).address.sameServer(address))
            return i;
    }
    return -1;
}

QString ServerList::partitionOf(const ServerAddress &address) const
{
    const int index = indexOf(address);
    return index < 0 ? QString() : entries.at(index).partition;
}

void ServerList::setPartition(const ServerAddress &address, const QString &partition)
{
    const int index = indexOf(address);
    if (index < 0)
        entries.append({QString(), address, false, partition});
    else
        entries[index].partition = partition;
}
