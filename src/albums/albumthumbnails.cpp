#include "albums/albumthumbnails.h"

#include "albums/thumbnailworker.h"

#include <QtMath>

AlbumThumbnails::AlbumThumbnails(int edge, qreal pixelRatio, QObject *parent)
    : QObject(parent), edge(qCeil(edge * pixelRatio)), pixelRatio(pixelRatio)
{ }

AlbumThumbnails::~AlbumThumbnails()
{
    stop();
}

void AlbumThumbnails::stop()
{
    if (queue)
        queue->close();
    for (const auto &worker : workers)
        worker->abort();
    // Each waits in its destructor.
    workers.clear();
    queue.reset();
}

void AlbumThumbnails::setServer(const QString &host, int port, const QString &password)
{
    stop();
    withoutCover.clear();
    queue = std::make_shared<ThumbnailQueue>();
    for (int i = 0; i < WORKERS; ++i) {
        auto worker = std::make_unique<ThumbnailWorker>(queue, edge);
        worker->setServer(host, port, password);
        // Sent from the worker's thread.
        connect(worker.get(), &ThumbnailWorker::loaded, this, &AlbumThumbnails::onLoaded,
                Qt::QueuedConnection);
        worker->start(QThread::LowPriority);
        workers.push_back(std::move(worker));
    }
}

QPixmap AlbumThumbnails::thumbnail(const QString &key) const
{
    const QPixmap *found = cache.object(key);
    return found ? *found : QPixmap();
}

void AlbumThumbnails::want(const QList<ThumbnailRequest> &requests)
{
    if (!queue)
        return;
    QList<ThumbnailRequest> missing;
    for (const ThumbnailRequest &request : requests) {
        if (!cache.contains(request.key) && !withoutCover.contains(request.key))
            missing.append(request);
    }
    queue->replace(missing);
}

void AlbumThumbnails::onLoaded(const QString &key, const QImage &image, bool settled)
{
    if (image.isNull()) {
        if (settled)
            withoutCover.insert(key);
        return;
    }
    auto *pixmap = new QPixmap(QPixmap::fromImage(image));
    pixmap->setDevicePixelRatio(pixelRatio);
    cache.insert(key, pixmap, qMax<qsizetype>(1, image.sizeInBytes() / 1024));
    emit arrived(key);
}
