#include "localhttpserver.h"

#include <QTcpSocket>

#include <memory>

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &LocalHttpServer::onNewConnection);
}

bool LocalHttpServer::listen()
{
    return server.listen(QHostAddress::LocalHost);
}

quint16 LocalHttpServer::port() const
{
    return server.serverPort();
}

QUrl LocalHttpServer::url(const QString &pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery));
}

void LocalHttpServer::setResponse(const QByteArray &path, const Response &response)
{
    responses.insert(path, response);
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const
{
    return received;
}

void LocalHttpServer::reset()
{
    responses.clear();
    received.clear();
}

void LocalHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            if (buffer->contains("\r\n\r\n"))  // answered already; one request per connection
                return;
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
            Request request;
            request.method = requestLine.value(0);
            request.target = requestLine.value(1);
            request.path = request.target.split('?').first();
            received.append(request);
            answer(socket, request);
        });
    }
}

void LocalHttpServer::answer(QTcpSocket *socket, const Request &request)
{
    Response response;
    response.status = 404;
    response.body = "not found";
    response = responses.value(request.path, response);
    if (response.hang)
        return;

    const qint64 length
            = response.declaredLength >= 0 ? response.declaredLength : response.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}
