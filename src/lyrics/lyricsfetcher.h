// LyricsFetcher: worker thread that finds the lyrics of one song, first hit wins: the lyrics file
// beside the song (when this computer can read the music folder), the song's lyrics tag (which the
// window's connection has read), the cache of the online service's answers, the online service.
// The lyrics controller owns it, sets the request while it is idle, starts it, and stops it
// (abort(), wait()) before it dies; its destructor does that too.
#ifndef LYRICSFETCHER_H
#define LYRICSFETCHER_H

#include "lyrics/lyricssong.h"
#include "lyrics/onlinelyrics.h"

#include <QByteArray>
#include <QThread>
#include <QUrl>

class LyricsFetcher : public QThread
{
    Q_OBJECT

public:
    struct Request
    {
        LyricsSong song;
        QString musicFolder;    // empty: no lyrics files
        QByteArray tagLyrics;   // the song's own, UTF-8
        QUrl serviceUrl;        // empty: no online lyrics
    };

    explicit LyricsFetcher(QObject *parent = nullptr);
    ~LyricsFetcher() override;

    // Only while the thread is not running; also withdraws an earlier abort().
    void setRequest(const Request &request);
    void setTimeout(int ms);  // of the online service; 15 s unless set
    // Thread-safe: a running fetch ends promptly, finding nothing online.
    void abort();

signals:
    // Emitted on the worker thread; empty lyrics: none found.
    void fetched(const QString &file, const QByteArray &lyrics);

protected:
    void run() override;

private:
    QByteArray find();
    QByteArray fetchOnline();

    Request request;
    OnlineLyrics online;
};

#endif
