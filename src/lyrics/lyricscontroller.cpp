#include "lyrics/lyricscontroller.h"

#include "core/serverconnection.h"
#include "lyrics/lrcparser.h"
#include "lyrics/lyricspage.h"
#include "lyrics/lyricssettings.h"

#include <algorithm>

namespace {

constexpr int LineTickMs = 250;

// LYRICS may hold LRC; UNSYNCEDLYRICS (ID3's USLT as many taggers write it) only words.
QByteArray lyricsTag(const QList<QPair<QString, QString>> &comments)
{
    for (const char *name : {"LYRICS", "UNSYNCEDLYRICS"}) {
        const auto found = std::find_if(comments.cbegin(), comments.cend(), [name](const auto &pair) {
            return pair.first.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        });
        if (found != comments.cend() && !found->second.trimmed().isEmpty())
            return found->second.toUtf8();
    }
    return QByteArray();
}

}  // namespace

LyricsController::LyricsController(QObject *parent)
    : QObject(parent), pageWidget(new LyricsPage), fetcher(this)
{
    lineTimer.setInterval(LineTickMs);
    connect(&lineTimer, &QTimer::timeout, this, &LyricsController::showLine);
    connect(pageWidget, &LyricsPage::lineClicked, this, &LyricsController::onLineClicked);
    // Both come from the fetcher's own thread.
    connect(&fetcher, &LyricsFetcher::fetched, this, &LyricsController::onFetched,
            Qt::QueuedConnection);
    connect(&fetcher, &QThread::finished, this, &LyricsController::onFetcherEnded,
            Qt::QueuedConnection);
}

// The page belongs to the tab widget once shown; one never shown is ours to delete.
LyricsController::~LyricsController()
{
    if (pageWidget && !pageWidget->parent())
        delete pageWidget;
}

QWidget *LyricsController::page() const
{
    return pageWidget;
}

void LyricsController::onConnectionReady(ServerConnection *connection)
{
    server = connection;
    statusConnection = connect(connection, &ServerConnection::statusChanged, this,
                               &LyricsController::onStatus);
    // MPD tells its music folder only to clients on its socket file; over TCP it refuses.
    if (connection->host().startsWith(QLatin1Char('/'))) {
        connection->ask(this, [](Qmpd &mpd) { return mpd.musicDirectory(); },
                        [this](const QString &folder) { serverMusicFolder = folder; });
    }
}

void LyricsController::onConnectionClosed()
{
    disconnect(statusConnection);
    server = nullptr;
    serverMusicFolder.clear();
    status = MpdStatus();
    // Not waited for: the answer of an aborted fetch is for a song no longer current.
    waiting.reset();
    fetcher.abort();
    forgetSong();
}

void LyricsController::onStatus(const MpdStatus &snapshot, MpdStatus::Changes what)
{
    status = snapshot;
    if (what & MpdStatus::Song)
        onSongChange();
    showLine();
    if (status.playing() && lyrics.isSynced())
        lineTimer.start();
    else
        lineTimer.stop();
}

void LyricsController::onSongChange()
{
    const QString file = status.song ? status.song->file : QString();
    if (file == currentFile)
        return;
    forgetSong();
    currentFile = file;
    if (!status.song || !server)
        return;
    const QmpdSong song = *status.song;
    server->ask(this, [file](Qmpd &mpd) { return mpd.songComments(file); },
                [this, song](const QList<QPair<QString, QString>> &comments) {
                    if (song.file == currentFile)
                        lookUp(song, lyricsTag(comments));
                });
}

void LyricsController::lookUp(const QmpdSong &song, const QByteArray &tagLyrics)
{
    const QString folder = serverMusicFolder.isEmpty() ? LyricsSettings::musicFolder()
                                                       : serverMusicFolder;
    const LyricsFetcher::Request request{{song.file, song.artist, song.title, song.album, song.time},
                                         folder, tagLyrics,
                                         QUrl(LyricsSettings::serviceUrl())};
    if (fetcher.isRunning()) {
        waiting = request;
        fetcher.abort();
        return;
    }
    fetcher.setRequest(request);
    fetcher.start();
}

void LyricsController::onFetcherEnded()
{
    if (!waiting || fetcher.isRunning())
        return;
    fetcher.setRequest(*waiting);
    waiting.reset();
    fetcher.start();
}

void LyricsController::onFetched(const QString &file, const QByteArray &bytes)
{
    if (file != currentFile || !server)
        return;
    lyrics = LrcParser::parse(bytes);
    if (lyrics.isEmpty())
        pageWidget->showMessage(tr("No lyrics found"));
    else
        pageWidget->showLyrics(lyrics);
    emit lyricsChanged(file, lyrics.plainText);
    onStatus(status, {});
}

void LyricsController::showLine()
{
    if (lyrics.isSynced())
        pageWidget->highlight(lyrics.lineAt(elapsedMs()));
}

void LyricsController::onLineClicked(int row)
{
    if (!server || row < 0 || row >= lyrics.lines.size())
        return;
    // Rounded up: a whole second before the line would highlight the one before it.
    const int seconds = int((lyrics.lines[row].ms + 999) / 1000);
    server->send(&Qmpd::seek, seconds);
}

void LyricsController::forgetSong()
{
    lineTimer.stop();
    lyrics = Lyrics();
    if (!currentFile.isEmpty())
        emit lyricsChanged(currentFile, QString());
    currentFile.clear();
    pageWidget->showMessage(QString());
}

// Statuses carry whole seconds: between them the time runs on from when the last was taken.
qint64 LyricsController::elapsedMs() const
{
    const qint64 ms = status.elapsed * qint64(1000)
            + (status.playing() ? MpdStatus::nowMs() - status.takenAtMs : 0);
    return status.total > 0 ? std::min(ms, status.total * qint64(1000)) : ms;
}
