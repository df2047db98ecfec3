// HttpGetter: the blocking HTTP GET of the Last.fm worker threads. get() runs on the calling worker
// thread with its own network manager and event loop, under a time limit and a size cap; abort()
// may be called from any thread. Held by value by the worker thread object that uses it.
#ifndef HTTPGETTER_H
#define HTTPGETTER_H

#include <QByteArray>
#include <QMutex>
#include <QUrl>

#include <atomic>
#include <optional>

class QEventLoop;

class HttpGetter
{
public:
    static constexpr int DEFAULT_TIMEOUT_MS = 15000;

    // The body of a 2xx answer. Nothing after a network or HTTP error, a time-out, an abort, a body
    // over maxBytes, or for any URL that is not http or https (file:, ftp:, garbage). The body of
    // an HTTP error answer, where services explain the error, goes to errorBody when given, its
    // status (404: the service has nothing) to httpStatus, which stays 0 without an answer.
    std::optional<QByteArray> get(const QUrl &url, qint64 maxBytes,
                                  QByteArray *errorBody = nullptr, int *httpStatus = nullptr);

    void setTimeout(int ms);

    // Ends a running get() at once and makes later ones fail until clearAbort().
    void abort();
    void clearAbort();

private:
    bool enterLoop(QEventLoop *loop);
    void leaveLoop();

    std::atomic<int> timeoutMs{DEFAULT_TIMEOUT_MS};
    std::atomic<bool> aborted{false};
    QMutex loopMutex;  // guards runningLoop against its end while abort() posts to it
    QEventLoop *runningLoop = nullptr;
};

#endif
