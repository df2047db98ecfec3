#include "connectattempt.h"

#include "libmpdlink.h"
#include "qmpd.h"

#include <libmpd/libmpd.h>

#include <condition_variable>
#include <thread>
#include <utility>

namespace {

constexpr double ConnectionTimeoutSeconds = 10.0;

// Attempt threads still running, in the whole process.
std::mutex runningMutex;
std::condition_variable runningChanged;
int runningThreads = 0;

struct ErrorLog
{
    QString first;
    bool any = false;
    bool refused = false;
};

int logError(MpdObj *, int id, char *msg, void *userdata)
{
    auto *log = static_cast<ErrorLog *>(userdata);
    const QString text = Qmpd::errorText(id, msg);
    // One failed attempt often raises several errors in a row (the password, then every query
    // made while connecting): the first is shown, the rest go to the log.
    if (log->any)
        qCWarning(lcQmpd) << text;
    else
        log->first = text;
    log->any = true;
    log->refused = log->refused || !Qmpd::isConnectionError(id);
    return 0;
}

int ignoreError(MpdObj *, int, char *, void *)
{
    return 0;
}

void freeConnection(MpdObj *mpd)
{
    if (!mpd)
        return;
    mpd_disconnect(mpd);
    mpd_free(mpd);
}

}  // namespace

ConnectAttempt::ConnectAttempt(QObject *context, Receiver done)
    : context(context), done(std::move(done))
{
}

ConnectAttempt::~ConnectAttempt()
{
    freeConnection(result.connection);
}

std::shared_ptr<ConnectAttempt> ConnectAttempt::start(const ServerAddress &server,
                                                      QObject *context, Receiver done)
{
    std::shared_ptr<ConnectAttempt> attempt(new ConnectAttempt(context, std::move(done)));
    {
        std::lock_guard lock(runningMutex);
        ++runningThreads;
    }
    // Detached: a server that never answers keeps this thread for the whole connection
    // timeout, and nobody has to wait for that. The thread shares only the attempt.
    std::thread([attempt, server]() mutable {
        attempt->finish(connectNow(server));
        attempt.reset();
        std::lock_guard lock(runningMutex);
        --runningThreads;
        runningChanged.notify_all();
    }).detach();
    return attempt;
}

ConnectAttempt::Outcome ConnectAttempt::connectNow(const ServerAddress &server)
{
    const QByteArray host = server.host.toLatin1();
    const QByteArray password = server.password.toLatin1();
    MpdObj *mpd = mpd_new(const_cast<char *>(host.constData()), server.port,
                          const_cast<char *>(password.constData()));
    if (!mpd)
        return {};
    ErrorLog log;
    mpd_signal_connect_error(mpd, logError, &log);
    mpd_set_connection_timeout(mpd, ConnectionTimeoutSeconds);
    // A connection the server complained about (a refused password, say) is of no use.
    bool up = mpd_connect(mpd) == MPD_OK && !log.any;
    // libmpd writes some requests in more than one piece; with Nagle's algorithm a later piece
    // would wait for the server's delayed acknowledgement of the first (40 ms on Linux).
    if (up)
        LibmpdLink::sendWithoutDelay(mpd);
    up = up && mpd_send_password(mpd) == MPD_OK && !log.any;
    up = up && mpd_status_update(mpd) == MPD_OK && !log.any && mpd_check_connected(mpd);
    // The server answers; whoever takes the connection over reads a status of its own time.
    if (up)
        mpd_status_queue_update(mpd);
    mpd_signal_connect_error(mpd, ignoreError, nullptr);
    if (!up) {
        freeConnection(mpd);
        mpd = nullptr;
    }
    return {mpd, log.first, log.refused};
}

void ConnectAttempt::abandon()
{
    std::lock_guard lock(mutex);
    abandoned = true;
    done = nullptr;
}

bool ConnectAttempt::waitForAll(int timeoutMs)
{
    std::unique_lock lock(runningMutex);
    return runningChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return runningThreads == 0; });
}

void ConnectAttempt::finish(Outcome outcome)
{
    std::lock_guard lock(mutex);
    if (abandoned) {
        freeConnection(outcome.connection);
        return;
    }
    result = outcome;
    // Posted under the lock: abandon(), which comes before the context dies, cannot slip
    // in between. A delivery dropped with its context frees the connection with the attempt.
    QMetaObject::invokeMethod(
            context, [self = shared_from_this()] { self->deliver(); }, Qt::QueuedConnection);
}

void ConnectAttempt::deliver()
{
    Receiver receiver;
    Outcome outcome;
    {
        std::lock_guard lock(mutex);
        if (abandoned)
            return;
        receiver = std::exchange(done, nullptr);
        outcome = std::exchange(result, {});
    }
    if (receiver)
        receiver(outcome);
    else
        freeConnection(outcome.connection);
}
