// ThumbnailQueue: the album covers the wall wants next, shared by the GUI thread (which replaces
// the whole wish list as the view scrolls) and the cover workers (which take one at a time).
// A cover being fetched is not handed out twice. Thread-safe.
#ifndef THUMBNAILQUEUE_H
#define THUMBNAILQUEUE_H

#include <QMutex>
#include <QSet>
#include <QString>
#include <QWaitCondition>

#include <deque>
#include <optional>

struct ThumbnailRequest
{
    QString key;  // the model's name of the album
    QString artist;
    QString album;
    QString songFile;  // whose picture the server is asked for
};

class ThumbnailQueue
{
public:
    // The new wishes, most wanted first, in place of the old ones.
    void replace(const QList<ThumbnailRequest> &wanted);
    // The next wish; waits for one; nothing once closed.
    std::optional<ThumbnailRequest> take();
    // The worker is done with the key (found or not).
    void done(const QString &key);
    void close();

private:
    QMutex mutex;
    QWaitCondition wished;
    std::deque<ThumbnailRequest> pending;
    QSet<QString> working;
    bool closed = false;
};

#endif
