#include "servers/avahibrowser.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Avahi");
const QString ServerInterface = QStringLiteral("org.freedesktop.Avahi.Server");
const QString BrowserInterface = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
const QString MpdType = QStringLiteral("_mpd._tcp");
constexpr int AnyInterface = -1;
constexpr int AnyProtocol = -1;
constexpr int Ipv4 = 0;  // addresses the host field takes as they are

// ItemNew and ItemRemove: interface, protocol, name, type, domain, flags.
enum ItemArgument { ItemInterface, ItemProtocol, ItemName, ItemType, ItemDomain };
// ResolveService's answer: ..., host name, address protocol, address, port, txt, flags.
enum ResolvedArgument { ResolvedName = 2, ResolvedAddress = 7, ResolvedPort = 8 };

}  // namespace

AvahiBrowser::AvahiBrowser(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus(bus)
{
}

AvahiBrowser::~AvahiBrowser()
{
    if (!browserPath.isEmpty())
        bus.asyncCall(avahiCall(browserPath, BrowserInterface, QStringLiteral("Free"), {}));
}

void AvahiBrowser::start()
{
    if (!bus.isConnected())
        return;
    // Avahi may announce the first items before it has answered with the browser's path: the
    // signals are taken from any path, before the browser exists.
    bus.connect(Service, QString(), BrowserInterface, QStringLiteral("ItemNew"), this,
                SLOT(onItemNew(QDBusMessage)));
    bus.connect(Service, QString(), BrowserInterface, QStringLiteral("ItemRemove"), this,
                SLOT(onItemRemove(QDBusMessage)));
    const QDBusMessage call = avahiCall(QStringLiteral("/"), ServerInterface,
                                        QStringLiteral("ServiceBrowserNew"),
                                        {AnyInterface, AnyProtocol, MpdType, QString(), 0u});
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isValid())
            browserPath = reply.value().path();
        w->deleteLater();
    });
}

void AvahiBrowser::onItemNew(const QDBusMessage &message)
{
    const QList<QVariant> item = message.arguments();
    if (item.size() <= ItemDomain || item.at(ItemType).toString() != MpdType)
        return;
    const QDBusMessage call = avahiCall(
            QStringLiteral("/"), ServerInterface, QStringLiteral("ResolveService"),
            {item.at(ItemInterface), item.at(ItemProtocol), item.at(ItemName), MpdType,
             item.at(ItemDomain), Ipv4, 0u});
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        onResolved(w->reply());
        w->deleteLater();
    });
}

void AvahiBrowser::onResolved(const QDBusMessage &reply)
{
    const QList<QVariant> resolved = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || resolved.size() <= ResolvedPort)
        return;
    const FoundServer server{resolved.at(ResolvedName).toString(),
                             resolved.at(ResolvedAddress).toString(),
                             resolved.at(ResolvedPort).toInt()};
    // Announced once per network interface and protocol: one entry per name.
    for (const FoundServer &known : std::as_const(found)) {
        if (known.name == server.name)
            return;
    }
    found.append(server);
    emit serversChanged();
}

void AvahiBrowser::onItemRemove(const QDBusMessage &message)
{
    const QList<QVariant> item = message.arguments();
    if (item.size() <= ItemDomain || item.at(ItemType).toString() != MpdType)
        return;
    const QString name = item.at(ItemName).toString();
    if (found.removeIf([&name](const FoundServer &server) { return server.name == name; }) > 0)
        emit serversChanged();
}

QDBusMessage AvahiBrowser::avahiCall(const QString &path, const QString &interface,
                                     const QString &method, const QList<QVariant> &arguments) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, path, interface, method);
    call.setArguments(arguments);
    return call;
}
