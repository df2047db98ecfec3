// LyricsController: the lyrics of the current song in the "Lyrics" tab. On every song change it
// looks them up (the song's tags through the window's connection, the other sources on its worker
// thread); then it keeps the line being sung highlighted, advanced locally between the server's
// statuses while playing, and seeks to a line that is clicked. Tells the desktop the words.
// Created by the main window, which puts page() into its tab widget; GUI thread.
#ifndef LYRICSCONTROLLER_H
#define LYRICSCONTROLLER_H

#include "core/mpdstatus.h"
#include "lyrics/lyrics.h"
#include "lyrics/lyricsfetcher.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class LyricsPage;
class ServerConnection;

class LyricsController : public QObject
{
    Q_OBJECT

public:
    explicit LyricsController(QObject *parent = nullptr);
    ~LyricsController() override;

    QWidget *page() const;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    // The words of the song `file` as plain text; empty while none are known.
    void lyricsChanged(const QString &file, const QString &plainText);

private:
    void onStatus(const MpdStatus &snapshot, MpdStatus::Changes what);
    void onSongChange();
    void lookUp(const QmpdSong &song, const QByteArray &tagLyrics);
    void onFetched(const QString &file, const QByteArray &bytes);
    void onFetcherEnded();
    void showLine();
    void onLineClicked(int row);
    void forgetSong();
    qint64 elapsedMs() const;

    QPointer<LyricsPage> pageWidget;
    QPointer<ServerConnection> server;
    QMetaObject::Connection statusConnection;
    MpdStatus status;
    QString currentFile;
    QString serverMusicFolder;  // told by a server on a socket file
    Lyrics lyrics;
    // Moves the highlight on while playing; the server says nothing until something changes.
    QTimer lineTimer;
    LyricsFetcher fetcher;
    // The song that came while the fetcher was busy with another.
    std::optional<LyricsFetcher::Request> waiting;
};

#endif
