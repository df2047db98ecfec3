// CoverFetcher: worker thread that finds one album cover for the cover cache under
// ~/.config/tuneloom/coverart/: the cache itself, then the MPD server (the song's embedded
// picture, then its folder's cover file), then the Last.fm web service. The main window owns it by
// value, sets the request on the GUI thread while it is idle, starts it, and stops it (abort(),
// wait()) before it dies.
#ifndef COVERFETCHER_H
#define COVERFETCHER_H

#include "lastfm/httpgetter.h"
#include "covers/servercoversource.h"

#include <QMutex>
#include <QString>
#include <QThread>
#include <QUrl>

class CoverFetcher : public QThread
{
    Q_OBJECT

public:
    static constexpr char DEFAULT_SERVICE_URL[] = "http://ws.audioscrobbler.com/2.0/";
    static constexpr char DEFAULT_API_KEY[] = "5f0c2e9a7b1d4c3e8a6f2b0d9e7c1a45";

    explicit CoverFetcher(QObject *parent = nullptr);
    ~CoverFetcher() override;

    // The setters only while the thread is not running. setAlbumArtist() also withdraws an
    // earlier abort(), which otherwise holds for a fetch about to start.
    void setAlbumArtist(const QString &artist, const QString &album);
    // The song whose pictures the server is asked for; an empty host asks no server.
    void setSong(const QString &file, const QString &host, int port, const QString &password);
    void setServiceUrl(const QUrl &url);
    void setTimeout(int ms);  // per download; 15 s unless set
    // Thread-safe; takes effect at the next fetch. An empty key asks Last.fm nothing.
    void setApiKey(const QString &key);
    QString apiKey() const;
    // Thread-safe: makes a running fetch end promptly with finished(false).
    void abort();

    // The cache file of an album; the main window shows covers from the same path.
    static QString coverPath(const QString &artist, const QString &album);
    static QString coverDirectory();
    // Empties the cover cache (the user's choice on exit); the fetcher must not be running.
    static void removeCachedCovers();
    static QString answerPath();

signals:
    // Beside QThread::finished(): the main window connects to this one.
    void finished(bool success);
    // Last.fm refused the key; it is not used again until setApiKey() gives another one.
    void apiKeyRejected();

protected:
    void run() override;

private:
    void fetch();
    bool fetchFromLastfm(const QString &cover);
    QUrl albumInfoUrl(const QString &key) const;
    std::optional<QByteArray> getAlbumInfo(const QString &key);
    QString readAnswerFile() const;
    static bool writeFile(const QString &path, const QByteArray &bytes);
    static bool makeParentDirectory(const QString &filePath);

    bool success = false;
    QString artist;
    QString album;
    QString songFile;
    QUrl serviceUrl{QString::fromLatin1(DEFAULT_SERVICE_URL)};
    HttpGetter http;
    ServerCoverSource server;
    mutable QMutex keyMutex;  // the key may change in the settings while a fetch runs
    QString key{QString::fromLatin1(DEFAULT_API_KEY)};
    QString rejectedKey;  // the worker's own
};

#endif
