// The part of the Avahi daemon's D-Bus interface that browsing for services uses, on a test's
// private bus: a browser that announces the services it was given (and later their removal),
// and resolves each to an address and port.
#pragma once

#include <QtDBus>

struct FakeService
{
    QString name, type, address;
    quint16 port;
};

class FakeAvahi : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Avahi.Server")

public:
    FakeAvahi(const QDBusConnection &bus, QList<FakeService> services) : bus(bus), services(std::move(services))
    {
        qDBusRegisterMetaType<QList<QByteArray>>();  // the TXT records, "aay"
    }
    bool registerOn() { return bus.registerService("org.freedesktop.Avahi") && bus.registerObject("/", this, QDBusConnection::ExportAllSlots); }
    // Announced on every interface and protocol, as Avahi does.
    void announce(const char *signal, const FakeService &service, int protocol = 0)
    {
        QDBusMessage message = QDBusMessage::createSignal(browserPath, "org.freedesktop.Avahi.ServiceBrowser", signal);
        message << 2 << protocol << service.name << service.type << QString("local") << 0u;
        bus.send(message);
    }

public slots:
    QDBusObjectPath ServiceBrowserNew(int, int, const QString &type, const QString &, uint)
    {
        // The first items go out before the answer, as a quick daemon's may.
        for (const FakeService &service : std::as_const(services)) {
            if (service.type == type || service.type == "_http._tcp")
                announce("ItemNew", service, 0), announce("ItemNew", service, 1);
        }
        return QDBusObjectPath(browserPath);
    }
    void ResolveService(int interface, int protocol, const QString &name, const QString &type, const QString &domain, int, uint)
    {
        for (const FakeService &service : std::as_const(services)) {
            if (service.name == name) {
                QDBusMessage reply = message().createReply();
                reply << interface << protocol << name << type << domain << QString(name + ".local") << 0
                      << service.address << service.port << QVariant::fromValue(QList<QByteArray>()) << 0u;
                bus.send(reply);
                setDelayedReply(true);
            }
        }
    }
    void Free() { }

private:
    QDBusConnection bus;
    QList<FakeService> services;
    const QString browserPath = "/Client1/ServiceBrowser1";
};
