#include "albums/thumbnailworker.h"

#include "covers/coverfetcher.h"
#include "covers/coverimage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace {

// A server's cover.jpg is 50-200 KiB: in one chunk, one round trip per cover.
const unsigned WALL_CHUNK_BYTES = 1024 * 1024;

QByteArray readCached(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(CoverImage::MAX_BYTES) : QByteArray();
}

}  // namespace

ThumbnailWorker::ThumbnailWorker(std::shared_ptr<ThumbnailQueue> queue, int edge, QObject *parent)
    : QThread(parent), queue(std::move(queue)), edge(edge)
{
    server.setKeepConnection(true);
    server.setChunkBytes(WALL_CHUNK_BYTES);
}

ThumbnailWorker::~ThumbnailWorker()
{
    abort();
    wait();
}

void ThumbnailWorker::setServer(const QString &host, int port, const QString &password)
{
    server.setServer(host, port, password);
}

void ThumbnailWorker::abort()
{
    server.abort();
}

QImage ThumbnailWorker::scaledCover(const QByteArray &bytes, int edge)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    // Decoding straight to the small size spares a full-size picture in memory.
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(edge, edge, Qt::KeepAspectRatio));
    return reader.read();
}

void ThumbnailWorker::run()
{
    while (const std::optional<ThumbnailRequest> request = queue->take()) {
        const QImage thumbnail = thumbnailOf(*request);
        queue->done(request->key);
        emit loaded(request->key, thumbnail, !thumbnail.isNull() || !server.lastFetchBroke());
    }
}

QImage ThumbnailWorker::thumbnailOf(const ThumbnailRequest &request)
{
    const QString thumbnailPath = CoverFetcher::thumbnailPath(request.artist, request.album);
    QImage thumbnail(thumbnailPath);
    if (!thumbnail.isNull())
        return thumbnail;
    const QString coverPath = CoverFetcher::coverPath(request.artist, request.album);
    QByteArray cover = readCached(coverPath);
    if (cover.isEmpty()) {
        cover = server.fetch(request.songFile);
        if (cover.isEmpty())
            return QImage();
        CoverFetcher::writeFile(coverPath, cover);
    }
    thumbnail = scaledCover(cover, edge);
    QByteArray small;
    QBuffer out(&small);
    if (!thumbnail.isNull() && out.open(QIODevice::WriteOnly) && thumbnail.save(&out, "JPEG", 85))
        CoverFetcher::writeFile(thumbnailPath, small);
    return thumbnail;
}
