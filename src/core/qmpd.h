// Qmpd: the window's one libmpd connection to the MPD server. Lives on the connection thread
// (ServerConnection creates that thread and is the only way in from the GUI): every libmpd call
// on the connection runs there, in the order the jobs were sent. Between jobs the connection
// waits in MPD's idle, so that changes are pushed, not polled. What the server reports goes out
// as values: status snapshots, queue changes, errors. libmpd's hooks are collected and delivered
// only after the job that raised them has ended, so nothing re-enters the connection.
#ifndef QMPD_H
#define QMPD_H

#include "core/connectattempt.h"
#include "core/librarystats.h"
#include "core/mpdstatus.h"
#include "core/queuesync.h"
#include "core/rawanswer.h"
#include "core/serveridle.h"
#include "core/songlist.h"

#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;

Q_DECLARE_LOGGING_CATEGORY(lcQmpd)

class Qmpd : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Random, Repeat, Single, Consume };
    struct DirectoryListing
    {
        QStringList subdirectories;
        std::vector<QmpdSong> songs;
    };
    using Move = QPair<int, int>;  // from position, to position

    // A request that gets no answer within this time ends the connection as lost.
    static constexpr int AnswerDeadlineMs = 5000;
    // The whole of a long answer (a window of the queue, a folder) within this time.
    static constexpr int WholeAnswerDeadlineMs = 20000;

    // Takes over a connection that is up (opened on another thread, which no longer uses it).
    explicit Qmpd(MpdObj *connected, QObject *parent = nullptr);
    ~Qmpd() override;

    bool isConnected() const;
    // An error since the current job began, or no connection any more.
    bool failed() const;

    // Sends the first status and queue, then waits for changes. On the connection's own thread.
    void start();
    // Carries out one job, then delivers what it changed and waits for changes again.
    void run(const std::function<void(Qmpd &)> &job);

    // Playback.
    void play();
    // Only while playing: a paused or stopped server is left as it is.
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    // A position outside the queue plays nothing (the server would answer with an error).
    void playPosition(int position);
    void seek(int seconds);
    // From where the song is now; nothing while stopped or for a stream without a length.
    void seekBy(int seconds);
    // While the user drags the position, playback pauses (pause) and then goes on.
    void resumeIfPaused();
    void setVolume(int percent);
    void changeVolumeBy(int step);
    // Mutes, or restores the volume it muted.
    void toggleMute();
    void setMode(Mode mode, bool on);
    void setCrossfade(int seconds);
    void setReplayGain(MpdStatus::ReplayGainMode mode);
    void setOutput(int id, bool enabled);
    void updateDatabase(const QString &path);

    // The queue.
    void clearQueue();
    void deletePositions(QList<int> positions);
    // Appends in command lists small enough for a default server. False when the connection
    // went down or the server refused a batch; the batches after that are not sent.
    bool addPaths(const QStringList &paths);
    // The moves, in order, in command lists the server accepts.
    bool moveSongs(const QList<Move> &moves);
    // As the server has it now.
    int queueLength();
    // Right after the playing or paused song; the end (length) when nothing plays.
    int playNextPosition(int length);
    // Where the songs still to be played begin: after the playing or paused song; the whole
    // queue (0) while stopped. From the status libmpd read last.
    int firstUpcomingPosition();
    // The files of the queue from this position on; empty when the query failed.
    QStringList queueFiles(int from);

    // One directory of the server's database; empty when the query failed.
    DirectoryListing listDirectory(const QString &path);

    // The server's music folder, which it tells only clients on its socket file; empty over
    // TCP, where it refuses (quietly: no error box).
    QString musicDirectory();
    // The tags in the song's file (readcomments), names as the file writes them; empty when it
    // has none or the server refused (quietly). The server leaves out values of several lines.
    QList<QPair<QString, QString>> songComments(const QString &file);

    // Stored playlists.
    QStringList storedPlaylistNames();
    std::vector<QmpdSong> storedPlaylistSongs(const QString &name);
    bool saveQueueAs(const QString &name);
    bool deleteStoredPlaylist(const QString &name);
    bool renameStoredPlaylist(const QString &from, const QString &to);
    bool loadStoredPlaylist(const QString &name);
    bool deleteFirstSongs(int count);

    // The server's "stats"; nothing when it refused or the link failed.
    std::optional<LibraryStats> libraryStats();
    // Song stickers, kept by the server for every client (qmpd_stickers.cpp). Only for a server
    // that allows "sticker": one without a sticker database knows no such command.
    // The value, or nothing when the song has none (not an error).
    std::optional<QString> songSticker(const QString &file, const QString &name);
    // Sets the sticker on every song, or deletes it with an empty value; false when refused.
    bool putSongStickers(const QStringList &files, const QString &name, const QString &value);
    // Every song of the database that has the sticker: file to value. Nothing when refused.
    std::optional<QHash<QString, QString>> findSongStickers(const QString &name);
    // The files of the songs whose tag (AlbumArtist, Genre, ...) is `value`, ignoring case.
    QStringList filesWithTag(const QString &tag, const QString &value);

    // Partitions (qmpdpartitions.cpp): a server from 0.22 on runs several players, each with
    // its own queue, status and outputs. A connection starts in "default".
    QStringList partitionNames();
    // The queue, status and outputs then are the partition's, sent whole.
    bool switchPartition(const QString &name);
    bool createPartition(const QString &name);
    bool deletePartition(const QString &name);
    // Into the current partition.
    bool moveOutput(const QString &name);

    // Streams: an http(s) address appended to the queue; a playlist address (.m3u, .pls) is
    // handed to the server, which adds what it lists.
    bool addStream(const QString &url);
    bool addToStoredPlaylist(const QString &name, const QString &uri);

    // "MPD Error <id> '<message>'", as the error boxes show it.
    static QString errorText(int id, const char *message);
    // Whether libmpd's error means the link to the server is gone, not a refusal by the server.
    static bool isConnectionError(int id);

    // libmpd's hooks.
    void onStatusChanged(int what);
    void onError(int id, const char *message);

signals:
    void statusChanged(const MpdStatus &status, MpdStatus::Changes what);
    // Sent before the status that reports the new queue version.
    void queueChanged(const QueueChange &change);
    // The server refused a command; the connection is still up.
    void serverError(const QString &text);
    // The link to the server broke (it went away, stopped answering, or the network did).
    void connectionLost();

private:
    void leaveIdle();
    void waitForChanges();
    void onIdleAnswer();
    void onRecheck();
    // Reads the status; when it changed, looks again a moment later (see onRecheck).
    void refreshAndRecheck();
    void noteIdleEvents(const std::optional<QStringList> &subsystems);
    void markLost();
    void refreshStatus();
    // Changes the status showed, to be delivered once the job is over.
    void noteChanges(int what);
    void deliver();
    MpdStatus readStatus(MpdStatus::Changes what);
    QList<MpdOutput> readOutputs();
    QSet<QString> readPermissions();
    // A request and its whole answer, read by the program itself (see RawAnswer); nothing when
    // the link failed (the connection is then lost). A refusal is in the answer, not reported.
    std::optional<RawAnswer::Answer> exchange(const QByteArray &request);
    // The "name: value" lines of the answer; a refusal is not reported, and gives none.
    QList<QPair<QString, QString>> quietPairs(const QByteArray &request);
    // A command whose answer is only "OK"; false when refused (reported) or the link failed.
    bool command(const char *name, const QList<QByteArray> &arguments);
    // The songs of fetchLines' answer.
    std::optional<SongList> fetchSongs(const QByteArray &request,
                                       QmpdSong::TrackDateDecoding trackDate);
    // The lines of exchange's answer; nothing when the server refused (reported like libmpd's
    // errors) or the link failed (the connection is lost).
    std::optional<QList<QByteArray>> fetchLines(const QByteArray &request);
    void askOnlyShownTags();
    void reportRefusal(const QByteArray &refusal);
    static int refusalCode(const QByteArray &refusal);

    MpdObj *mpdObj = nullptr;
    ServerIdle idle;
    QSocketNotifier *idleNotifier = nullptr;
    QTimer *recheckTimer = nullptr;
    QueueSync queueSync;
    MpdStatus current;
    int pendingChanges = 0;
    int statusReports = 0;  // libmpd's reports of a changed status, counted
    QStringList pendingErrors;
    int errorsThisJob = 0;
    bool lost = false;
    bool lossReported = false;
    bool raceSeen = false;
    bool firstStatus = true;
    int volumeBeforeMute = -1;
    QString partition = QStringLiteral("default");
};

#endif
