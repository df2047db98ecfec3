// AvahiBrowser: the MPD servers announced on the network by Zeroconf ("_mpd._tcp"), as the Avahi
// daemon finds them, through its D-Bus interface. Without Avahi (or a bus) the list stays empty.
// Owned by whoever shows the list (the Connect dialog); GUI thread.
#ifndef AVAHIBROWSER_H
#define AVAHIBROWSER_H

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

class QDBusMessage;

struct FoundServer
{
    QString name;
    QString host;  // the address the server was resolved to
    int port = 0;
};

class AvahiBrowser : public QObject
{
    Q_OBJECT

public:
    // Avahi lives on the system bus; tests hand in a bus of their own.
    explicit AvahiBrowser(const QDBusConnection &bus = QDBusConnection::systemBus(),
                          QObject *parent = nullptr);
    ~AvahiBrowser() override;

    void start();
    // In the order they were resolved; one entry per announced name.
    const QList<FoundServer> &servers() const { return found; }

signals:
    void serversChanged();

private slots:
    void onItemNew(const QDBusMessage &message);
    void onItemRemove(const QDBusMessage &message);

private:
    void onResolved(const QDBusMessage &reply);
    QDBusMessage avahiCall(const QString &path, const QString &interface, const QString &method,
                           const QList<QVariant> &arguments) const;

    QDBusConnection bus;
    QString browserPath;
    QList<FoundServer> found;
};

#endif
