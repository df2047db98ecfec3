#include "silentlistener.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

SilentListener::~SilentListener()
{
    quit();
    wait();
}

quint16 SilentListener::listen()
{
    start();
    const QDeadlineTimer deadline(5000);
    while (port == 0 && !failed && !deadline.hasExpired())
        QThread::msleep(5);
    return port;
}

void SilentListener::run()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost)) {
        failed = true;
        return;
    }
    // The accepted sockets are the server's children: held open, never written to.
    connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (server.nextPendingConnection())
            ++accepted;
    });
    port = server.serverPort();
    exec();
}
