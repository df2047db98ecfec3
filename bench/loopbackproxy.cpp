#include "loopbackproxy.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

LoopbackProxy::~LoopbackProxy()
{
    quit();
    wait();
}

quint16 LoopbackProxy::listen()
{
    start();
    const QDeadlineTimer deadline(5000);
    while (port == 0 && isRunning() && !deadline.hasExpired())
        QThread::msleep(5);
    return port;
}

QByteArray LoopbackProxy::clientBytes() const
{
    const QMutexLocker locker(&sentLock);
    return sent;
}

void LoopbackProxy::run()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return;
    const auto relay = [this](QTcpSocket *from, QTcpSocket *to, bool fromClient) {
        connect(from, &QTcpSocket::readyRead, to, [this, from, to, fromClient] {
            const QByteArray data = from->readAll();
            carried += data.size();
            if (fromClient) {
                const QMutexLocker locker(&sentLock);
                sent += data;
            }
            // Equal delays keep the chunks in order.
            QTimer::singleShot(roundTripMs / 2, to, [to, data] { to->write(data); });
        });
    };
    connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            auto *upstream = new QTcpSocket(client);
            upstream->connectToHost(QHostAddress::LocalHost, target);
            relay(client, upstream, true);
            relay(upstream, client, false);
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        }
    });
    port = server.serverPort();
    exec();
}
