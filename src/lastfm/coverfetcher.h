// CoverFetcher: worker thread that fetches one album cover from the Last.fm web service into the
// cover cache under ~/.config/tuneloom/coverart/. The main window owns it by value, sets the album
// on the GUI thread while it is idle, starts it, and stops it (abort(), wait()) before it dies.
#ifndef COVERFETCHER_H
#define COVERFETCHER_H

#include "httpgetter.h"

#include <QString>
#include <QThread>
#include <QUrl>

class CoverFetcher : public QThread
{
    Q_OBJECT

public:
    static constexpr char DEFAULT_SERVICE_URL[] = "http://ws.audioscrobbler.com/2.0/";

    explicit CoverFetcher(QObject *parent = nullptr);
    ~CoverFetcher() override;

    // The setters only while the thread is not running. setAlbumArtist() also withdraws an
    // earlier abort(), which otherwise holds for a fetch about to start.
    void setAlbumArtist(const QString &artist, const QString &album);
    void setServiceUrl(const QUrl &url);
    void setTimeout(int ms);  // per download; 15 s unless set
    // Thread-safe: makes a running fetch end promptly with finished(false).
    void abort();

    // The cache file of an album; the main window shows covers from the same path.
    static QString coverPath(const QString &artist, const QString &album);
    static QString coverDirectory();
    static QString answerPath();

signals:
    // Beside QThread::finished(): the main window connects to this one.
    void finished(bool success);

protected:
    void run() override;

private:
    void fetch();
    QUrl albumInfoUrl() const;
    bool download(const QUrl &url, const QString &path, qint64 maxBytes);
    QString readAnswerFile() const;
    static QString extraLargeImageAddress(const QString &answer);
    static bool makeParentDirectory(const QString &filePath);

    bool success = false;
    QString artist;
    QString album;
    QUrl serviceUrl{QString::fromLatin1(DEFAULT_SERVICE_URL)};
    HttpGetter http;
};

#endif
