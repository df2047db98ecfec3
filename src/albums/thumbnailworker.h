// ThumbnailWorker: one of the threads that make the wall's album thumbnails, each with a server
// connection of its own kept between covers. For each wish of the shared queue it follows the
// cover chain: the small file of the thumbnail cache, the cover cache, then the server's pictures
// (readpicture, then albumart, in big chunks); a cover found on the server also lands in the
// cover cache the now-playing panel reads. Last.fm is not asked for the wall: a whole library's
// worth of requests is not what the service is for. AlbumThumbnails owns the workers, starts
// them, and stops them (the queue closed, abort(), wait()) before they die.
#ifndef THUMBNAILWORKER_H
#define THUMBNAILWORKER_H

#include "albums/thumbnailqueue.h"
#include "covers/servercoversource.h"

#include <QImage>
#include <QThread>

#include <memory>

class ThumbnailWorker : public QThread
{
    Q_OBJECT

public:
    ThumbnailWorker(std::shared_ptr<ThumbnailQueue> queue, int edge, QObject *parent = nullptr);
    ~ThumbnailWorker() override;

    // Before start(); an empty host asks no server.
    void setServer(const QString &host, int port, const QString &password);
    // Thread-safe: ends a server request at once.
    void abort();

    // The thumbnail of a cover, at most edge pixels a side; null when the bytes are no image.
    static QImage scaledCover(const QByteArray &bytes, int edge);

signals:
    // A null image: no cover found; `settled` unless the server could not be asked (a lost
    // connection, the time limit), when a later wish may find it.
    void loaded(const QString &key, const QImage &thumbnail, bool settled);

protected:
    void run() override;

private:
    QImage thumbnailOf(const ThumbnailRequest &request);

    std::shared_ptr<ThumbnailQueue> queue;
    const int edge;
    ServerCoverSource server;
};

#endif
