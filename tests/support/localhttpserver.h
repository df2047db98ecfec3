// A small HTTP/1.1 server on 127.0.0.1 with a canned answer per path. It answers from the test
// thread's event loop, so a test must keep that loop running while it waits.
#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/xml; charset=utf-8";
        bool hang = false;          // take the request and never answer
        qint64 declaredLength = -1; // Content-Length to claim; more than the body cuts the transfer
        QByteArray location = {};   // a Location header (redirects)
    };
    struct Request
    {
        QByteArray target, path; // target: path and query exactly as sent
    };

    explicit LocalHttpServer(QObject *parent = nullptr) : QObject(parent)
    {
        connect(&server, &QTcpServer::newConnection, this, &LocalHttpServer::onNewConnection);
    }
    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }
    QUrl url(const QString &pathAndQuery) const { return QUrl(QString("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery)); }
    // Paths without an answer get 404.
    void setResponse(const QByteArray &path, const Response &response) { responses.insert(path, response); }
    QList<Request> requests() const { return received; }
    void reset() { responses.clear(), received.clear(); } // forgets answers and requests

private:
    void onNewConnection()
    {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer = QByteArray()]() mutable {
                if (buffer.contains("\r\n\r\n") || !buffer.append(socket->readAll()).contains("\r\n\r\n"))
                    return; // answered already (one request per connection), or not all there yet
                const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
                received.append({requestLine.value(1), requestLine.value(1).split('?').first()});
                const Response response = responses.value(received.last().path, Response{404, "not found"});
                if (response.hang)
                    return;
                const qint64 length = response.declaredLength >= 0 ? response.declaredLength : response.body.size();
                QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\nContent-Type: "
                        + response.contentType + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n";
                if (!response.location.isEmpty())
                    head += "Location: " + response.location + "\r\n";
                socket->write(head + "Connection: close\r\n\r\n" + response.body);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer server;
    QHash<QByteArray, Response> responses;
    QList<Request> received;
};

Q_DECLARE_METATYPE(LocalHttpServer::Response)
