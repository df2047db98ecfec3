// ServerAddress: where an MPD server listens: a host and port, or a Unix socket (a path, or
// "@name" in Linux's abstract namespace, as mpc writes it), and the password to give it.
// A plain value; any thread.
#ifndef SERVERADDRESS_H
#define SERVERADDRESS_H

#include <QString>

struct ServerAddress
{
    QString host;
    int port = 0;
    QString password;

    bool isSocket() const
    {
        return host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'));
    }
    // As the window shows it: "host:port", or the socket alone (its port means nothing).
    QString text() const
    {
        return isSocket() ? host : host + QLatin1Char(':') + QString::number(port);
    }
    bool sameServer(const ServerAddress &other) const
    {
        return host == other.host && (isSocket() || port == other.port);
    }
};

#endif
