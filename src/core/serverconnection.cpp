#include "core/serverconnection.h"

#include "core/libmpdlink.h"

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

ServerConnection::ServerConnection(MpdObj *connected, const ServerAddress &address, QObject *parent)
    : QObject(parent), server(address), worker(new Qmpd(connected))
{
    // libmpd writes without MSG_NOSIGNAL: a write to a link that broke (or that the connection
    // shut itself, see Qmpd::markLost) must fail, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    qRegisterMetaType<MpdStatus>();
    qRegisterMetaType<MpdStatus::Changes>();
    qRegisterMetaType<QueueChange>();
    const int socket = LibmpdLink::socketOf(connected);
    linkSocket = socket >= 0 ? ::dup(socket) : -1;
    thread.setObjectName(QStringLiteral("MPD connection"));
    worker->moveToThread(&thread);
    connect(worker, &Qmpd::statusChanged, this, &ServerConnection::onStatus);
    connect(worker, &Qmpd::queueChanged, this, &ServerConnection::queueChanged);
    connect(worker, &Qmpd::serverError, this, &ServerConnection::serverError);
    connect(worker, &Qmpd::connectionLost, this, &ServerConnection::connectionLost);
    thread.start();
    QMetaObject::invokeMethod(worker, &Qmpd::start, Qt::QueuedConnection);
}

ServerConnection::~ServerConnection()
{
    endLink();
    // The connection is freed on its own thread, after the jobs queued before.
    QMetaObject::invokeMethod(worker, [worker = worker] {
        delete worker;
        QThread::currentThread()->quit();
    });
    thread.wait();
    if (linkSocket >= 0)
        ::close(linkSocket);
}

void ServerConnection::endLink()
{
    if (linkSocket >= 0)
        ::shutdown(linkSocket, SHUT_RDWR);
}

void ServerConnection::post(std::function<void(Qmpd &)> job)
{
    QMetaObject::invokeMethod(
            worker, [worker = worker, job = std::move(job)] { worker->run(job); },
            Qt::QueuedConnection);
}

void ServerConnection::onStatus(const MpdStatus &status, MpdStatus::Changes what)
{
    current = status;
    emit statusChanged(current, what);
}
