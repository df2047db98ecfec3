// LocalHttpServer: a small HTTP/1.1 server on 127.0.0.1 for tests of the network clients, with a
// canned answer per path. It lives in the test's thread and answers from its event loop, so a test
// must keep that loop running while it waits (QSignalSpy::wait, QTRY_*, QTest::qWaitFor).
#ifndef LOCALHTTPSERVER_H
#define LOCALHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/xml; charset=utf-8";
        bool hang = false;  // take the request and never answer
        qint64 declaredLength
                = -1;  // Content-Length to claim; more than the body cuts the transfer
        QByteArray location = {};  // sent as a Location header when set (redirects)
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;  // path and query exactly as sent
        QByteArray path;
    };

    explicit LocalHttpServer(QObject *parent = nullptr);

    bool listen();
    quint16 port() const;
    QUrl url(const QString &pathAndQuery) const;

    // Paths without an answer get 404.
    void setResponse(const QByteArray &path, const Response &response);
    QList<Request> requests() const;
    // Forgets all answers and recorded requests.
    void reset();

private:
    void onNewConnection();
    void answer(QTcpSocket *socket, const Request &request);

    QTcpServer server;
    QHash<QByteArray, Response> responses;
    QList<Request> received;
};

Q_DECLARE_METATYPE(LocalHttpServer::Response)

#endif
