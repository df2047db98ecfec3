// AlbumThumbnails: the wall's album pictures on the GUI side. Keeps the decoded thumbnails in a
// bounded LRU, hands the covers the view wants next to a few worker threads (ThumbnailWorker, each
// with its own server connection: on a slow link their round trips overlap), and says when one
// arrived. Albums without a cover are remembered and not asked again until the next server.
// Owned by the albums controller; GUI thread. Stops its workers before it dies.
#ifndef ALBUMTHUMBNAILS_H
#define ALBUMTHUMBNAILS_H

#include "albums/thumbnailqueue.h"

#include <QCache>
#include <QObject>
#include <QPixmap>
#include <QSet>

#include <memory>
#include <vector>

class ThumbnailWorker;

class AlbumThumbnails : public QObject
{
    Q_OBJECT

public:
    static constexpr int WORKERS = 3;
    // Decoded thumbnails kept, in KiB: 40 MiB is a few hundred covers at 2x.
    static constexpr int CACHE_KIB = 40 * 1024;

    // Thumbnails at most `edge` logical pixels a side, drawn for the screen's pixel ratio.
    AlbumThumbnails(int edge, qreal pixelRatio, QObject *parent = nullptr);
    ~AlbumThumbnails() override;

    // New workers for the server (the disk caches only for an empty host); forgets the albums
    // found without a cover.
    void setServer(const QString &host, int port, const QString &password);
    void stop();

    // The thumbnail when it is at hand; null otherwise.
    QPixmap thumbnail(const QString &key) const;
    // In place of what was wanted before, most wanted first; those at hand or known to have no
    // cover are left out.
    void want(const QList<ThumbnailRequest> &requests);

signals:
    void arrived(const QString &key);

private:
    void onLoaded(const QString &key, const QImage &image, bool settled);

    const int edge;  // device pixels
    const qreal pixelRatio;
    mutable QCache<QString, QPixmap> cache{CACHE_KIB};
    QSet<QString> withoutCover;
    std::shared_ptr<ThumbnailQueue> queue;
    std::vector<std::unique_ptr<ThumbnailWorker>> workers;
};

#endif
