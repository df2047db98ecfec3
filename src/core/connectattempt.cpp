#include "core/connectattempt.h"

#include "core/libmpdlink.h"
#include "core/qmpd.h"
#include "core/unixsocket.h"

#include <libmpd/libmpd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

#include <condition_variable>
#include <optional>
#include <thread>
#include <utility>

#include <unistd.h>

namespace {

// One deadline for the whole attempt: socket, greeting, password and first status.
constexpr int ConnectionTimeoutMs = 10000;

// Attempt threads still running, in the whole process.
std::mutex runningMutex;
std::condition_variable runningChanged;
int runningThreads = 0;

struct ErrorLog
{
    QString first;
    int firstId = 0;
    bool any = false;
    bool refused = false;
};

int logError(MpdObj *, int id, char *msg, void *userdata)
{
    auto *log = static_cast<ErrorLog *>(userdata);
    const QString text = Qmpd::errorText(id, msg);
    // One failed attempt often raises several errors in a row (the password, then every query
    // made while connecting): the first is shown, the rest go to the log.
    if (log->any) {
        qCWarning(lcQmpd) << text;
    } else {
        log->first = text;
        log->firstId = id;
    }
    log->any = true;
    log->refused = log->refused || !Qmpd::isConnectionError(id);
    return 0;
}

int ignoreError(MpdObj *, int, char *, void *)
{
    return 0;
}

float secondsLeft(const QDeadlineTimer &deadline)
{
    return float(deadline.remainingTime()) / 1000.0f;
}

// libmpd says "mpd not running" of a server that greets otherwise, and "problems getting a
// response" with an unrelated system error of one that hangs up before greeting: both answered,
// but not as MPD. Its "timeout" (same code) is a silent server, perhaps a wedged mpd.
bool answeredOtherwise(const ErrorLog &log)
{
    return log.firstId == MPD_ERROR_NOTMPD
            || (log.firstId == MPD_ERROR_NORESPONSE && !log.first.contains(QLatin1String("timeout")));
}

// Why a Unix socket cannot be used, or nothing when something accepts connections on it. Asked
// before libmpd tries: when libmpd's own connect to a socket path fails, it closes descriptor 0
// (and so whatever another thread has opened under that number since).
std::optional<QString> socketProblem(const QString &host)
{
    const auto problem = [&host](const char *text) {
        return QCoreApplication::translate("ConnectAttempt", text).arg(host);
    };
    UnixSocket::Address address;
    if (!UnixSocket::addressOf(host, address))
        return problem("The socket name %1 is too long");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool accepted = fd >= 0 && ::connect(fd, address.get(), address.length) == 0;
    if (fd >= 0)
        ::close(fd);
    if (accepted)
        return std::nullopt;
    if (host.startsWith(QLatin1Char('/')) && !QFileInfo::exists(host))
        return problem("There is no MPD socket at %1");
    return problem("Nothing answers on the socket %1");
}

QString firstErrorText(const ErrorLog &log, const ServerAddress &server)
{
    if (!answeredOtherwise(log))
        return log.first;
    return QCoreApplication::translate("ConnectAttempt",
                                       "The server at %1 did not answer as an MPD server")
            .arg(server.text());
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
    if (server.isSocket()) {
        if (const std::optional<QString> problem = socketProblem(server.host))
            return {nullptr, *problem, false};
    }
    const QByteArray host = server.host.toLatin1();
    const QByteArray password = server.password.toLatin1();
    MpdObj *mpd = mpd_new(const_cast<char *>(host.constData()), server.port,
                          const_cast<char *>(password.constData()));
    if (!mpd)
        return {};
    ErrorLog log;
    mpd_signal_connect_error(mpd, logError, &log);
    const QDeadlineTimer deadline(ConnectionTimeoutMs);
    // A connection the server complained about (a refused password, say) is of no use.
    bool up = LibmpdLink::connectWithin(mpd, host, server.port, secondsLeft(deadline)) && !log.any;
    // libmpd writes some requests in more than one piece; with Nagle's algorithm a later piece
    // would wait for the server's delayed acknowledgement of the first (40 ms on Linux).
    if (up)
        LibmpdLink::sendWithoutDelay(mpd);
    mpd_set_connection_timeout(mpd, secondsLeft(deadline));  // for the password and status
    up = up && mpd_send_password(mpd) == MPD_OK && !log.any;
    up = up && mpd_status_update(mpd) == MPD_OK && !log.any && mpd_check_connected(mpd);
    // The server answers; whoever takes the connection over reads a status of its own time.
    if (up)
        mpd_status_queue_update(mpd);
    // Whoever takes the connection over gives every answer the whole timeout.
    mpd_set_connection_timeout(mpd, ConnectionTimeoutMs / 1000.0f);
    mpd_signal_connect_error(mpd, ignoreError, nullptr);
    if (!up) {
        freeConnection(mpd);
        mpd = nullptr;
    }
    return {mpd, firstErrorText(log, server), log.refused};
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
