#include "lastfm/httpgetter.h"

#include "lastfm/lastfmlog.h"

#include <QEventLoop>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QTimer>

#include <memory>

namespace {

const int MAX_REDIRECTS = 5;

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
            && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool isSuccessStatus(const QNetworkReply &reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status <= 299;
}

}  // namespace

std::optional<QByteArray> HttpGetter::get(const QUrl &url, qint64 maxBytes, QByteArray *errorBody,
                                          int *httpStatus)
{
    if (httpStatus)
        *httpStatus = 0;
    if (!isWebUrl(url)) {
        qCDebug(lcLastfm) << "Not an http(s) address, not fetched:" << url.toDisplayString();
        return std::nullopt;
    }

    // Registered before the request goes out, so that an abort() from now on stops it.
    QEventLoop loop;
    if (!enterLoop(&loop))
        return std::nullopt;
    const auto leave = qScopeGuard([this] { leaveLoop(); });

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MAX_REDIRECTS);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop,
                     [&](qint64 received, qint64 total) {
                         if (received > maxBytes || total > maxBytes) {
                             tooLarge = true;
                             loop.quit();
                         }
                     });
    QTimer::singleShot(timeoutMs.load(), &loop, &QEventLoop::quit);
    loop.exec();

    if (!reply->isFinished()) {
        qCDebug(lcLastfm) << (tooLarge ? "Answer too large:" : "Timed out or aborted:")
                          << url.toDisplayString();
        reply->abort();
        return std::nullopt;
    }
    if (httpStatus)
        *httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || !isSuccessStatus(*reply)) {
        qCDebug(lcLastfm) << "Download failed:" << url.toDisplayString() << reply->errorString();
        if (errorBody)
            *errorBody = reply->read(maxBytes);
        return std::nullopt;
    }
    QByteArray body = reply->readAll();
    if (body.size() > maxBytes)
        return std::nullopt;
    return body;
}

void HttpGetter::setTimeout(int ms)
{
    timeoutMs = ms;
}

void HttpGetter::abort()
{
    const QMutexLocker locker(&loopMutex);
    aborted = true;
    // The loop belongs to the worker thread: ask it to quit through its own event queue.
    if (runningLoop)
        QMetaObject::invokeMethod(runningLoop, &QEventLoop::quit, Qt::QueuedConnection);
}

void HttpGetter::clearAbort()
{
    aborted = false;
}

bool HttpGetter::enterLoop(QEventLoop *loop)
{
    const QMutexLocker locker(&loopMutex);
    if (aborted)
        return false;
    runningLoop = loop;
    return true;
}

void HttpGetter::leaveLoop()
{
    const QMutexLocker locker(&loopMutex);
    runningLoop = nullptr;
}
