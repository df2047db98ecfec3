#include "albums/thumbnailqueue.h"

#include <QMutexLocker>

void ThumbnailQueue::replace(const QList<ThumbnailRequest> &wanted)
{
    const QMutexLocker lock(&mutex);
    pending.clear();
    for (const ThumbnailRequest &request : wanted) {
        if (!working.contains(request.key))
            pending.push_back(request);
    }
    wished.wakeAll();
}

std::optional<ThumbnailRequest> ThumbnailQueue::take()
{
    QMutexLocker lock(&mutex);
    while (pending.empty() && !closed)
        wished.wait(&mutex);
    if (closed)
        return std::nullopt;
    ThumbnailRequest next = std::move(pending.front());
    pending.pop_front();
    working.insert(next.key);
    return next;
}

void ThumbnailQueue::done(const QString &key)
{
    const QMutexLocker lock(&mutex);
    working.remove(key);
}

void ThumbnailQueue::close()
{
    const QMutexLocker lock(&mutex);
    closed = true;
    pending.clear();
    wished.wakeAll();
}
