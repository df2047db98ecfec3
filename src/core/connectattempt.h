// ConnectAttempt: one attempt to connect to an MPD server (socket, greeting, password, first
// status) on a detached thread of its own, so that a server that never answers holds up nothing
// but that thread. The thread creates the libmpd connection and uses it alone until it hands it
// over, whole, to the GUI thread. An attempt given up (abandon()) is never reported; its thread
// frees the connection itself once its blocking calls return. Created and abandoned in the GUI
// thread; shared between it and the attempt's thread.
#ifndef CONNECTATTEMPT_H
#define CONNECTATTEMPT_H

#include "core/serveraddress.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

typedef struct _MpdObj MpdObj;

class ConnectAttempt : public std::enable_shared_from_this<ConnectAttempt>
{
public:
    struct Outcome
    {
        MpdObj *connection = nullptr;  // null when the attempt failed; the receiver frees it
        QString error;                 // the first error libmpd reported, empty if none
        bool refused = false;          // the server answered and said no (a wrong password)
    };
    using Receiver = std::function<void(Outcome)>;

    ~ConnectAttempt();

    // Starts an attempt; `done` is called in `context`'s thread once it ends, unless abandoned.
    static std::shared_ptr<ConnectAttempt> start(const ServerAddress &server, QObject *context,
                                                 Receiver done);
    // Connects in the calling thread; blocks up to the connection timeout.
    static Outcome connectNow(const ServerAddress &server);
    // After this, `done` is never called and the connection is freed wherever it is.
    void abandon();
    // Waits at most timeoutMs until every attempt's thread has ended; true if all have.
    static bool waitForAll(int timeoutMs);

private:
    ConnectAttempt(QObject *context, Receiver done);
    void finish(Outcome outcome);
    void deliver();

    std::mutex mutex;  // guards everything below
    QObject *context;  // abandon() comes before it dies
    Receiver done;
    bool abandoned = false;
    Outcome result;
};

#endif
