// ServerConnection: the GUI thread's door to the window's MPD connection. It runs the connection
// (Qmpd) on a thread of its own and is the only way to it: commands go in as jobs, queued and
// carried out in order on that thread; what the server reports comes out as values (status
// snapshots, queue changes, errors, answers), never as libmpd objects. A job is a function of
// Qmpd's typed commands; it runs on the connection thread and must capture values only.
// Created by MpdConnector for each connection, owned by the connection controller; GUI thread.
#ifndef SERVERCONNECTION_H
#define SERVERCONNECTION_H

#include "core/connectattempt.h"
#include "core/mpdstatus.h"
#include "core/qmpd.h"
#include "core/queuesync.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>
#include <type_traits>
#include <utility>

class ServerConnection : public QObject
{
    Q_OBJECT

public:
    // Takes over a connection that is up and starts following the server.
    ServerConnection(MpdObj *connected, const ServerAddress &address, QObject *parent = nullptr);
    // Ends the link at once, even while the thread waits on a server that does not answer.
    ~ServerConnection() override;

    const ServerAddress &address() const { return server; }
    QString host() const { return server.host; }
    int port() const { return server.port; }
    QString password() const { return server.password; }
    // The last snapshot the connection thread sent.
    const MpdStatus &status() const { return current; }

    // Runs `command` (a Qmpd member function with its arguments, or a function of Qmpd&) on the
    // connection thread, after every command sent before it.
    template<typename Command, typename... Args> void send(Command command, Args... args)
    {
        post([command, args...](Qmpd &server) { std::invoke(command, server, args...); });
    }
    // The same, and hands its result to `done` in the GUI thread, unless `context` is gone.
    template<typename Job, typename Done> void ask(QObject *context, Job job, Done done)
    {
        QPointer<QObject> receiver(context);
        post([this, job, receiver, done](Qmpd &server) {
            auto result = job(server);
            QMetaObject::invokeMethod(
                    this,
                    [receiver, done, result = std::move(result)]() mutable {
                        if (receiver)
                            done(std::move(result));
                    },
                    Qt::QueuedConnection);
        });
    }

signals:
    void statusChanged(const MpdStatus &status, MpdStatus::Changes what);
    // Arrives before the status that reports the new queue version.
    void queueChanged(const QueueChange &change);
    // The server refused a command; the connection stays up.
    void serverError(const QString &text);
    void connectionLost();

private:
    void post(std::function<void(Qmpd &)> job);
    void onStatus(const MpdStatus &status, MpdStatus::Changes what);
    void endLink();

    ServerAddress server;
    QThread thread;
    Qmpd *worker;
    // A second descriptor of the connection's socket: shutting it down wakes the connection
    // thread from a read on a server that does not answer. Closed only after the thread ended,
    // so its number cannot have been reused meanwhile.
    int linkSocket = -1;
    MpdStatus current;
};

#endif
