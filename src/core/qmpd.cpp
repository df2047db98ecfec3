#include "core/qmpd.h"

#include "core/libmpdlink.h"
#include "core/playlistadder.h"
#include "core/rawanswer.h"

#include <libmpd/libmpd.h>

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcQmpd, "tuneloom.core")

// The change flags are libmpd's, so that its report passes through unchanged.
static_assert(int(MpdStatus::Queue) == MPD_CST_PLAYLIST && int(MpdStatus::Song) == MPD_CST_SONGID
              && int(MpdStatus::Volume) == MPD_CST_VOLUME && int(MpdStatus::State) == MPD_CST_STATE
              && int(MpdStatus::Permission) == MPD_CST_PERMISSION
              && int(MpdStatus::Outputs) == MPD_CST_OUTPUT
              && int(MpdStatus::Sticker) == MPD_CST_STICKER
              && int(MpdStatus::ReplayGain) == MPD_CST_REPLAYGAIN
              && int(MpdStatus::StoredPlaylists) == MPD_CST_STORED_PLAYLIST);
static_assert(int(PlayerState::Playing) == MPD_PLAYER_PLAY
              && int(PlayerState::Paused) == MPD_PLAYER_PAUSE
              && int(PlayerState::Stopped) == MPD_PLAYER_STOP);

namespace {

// The commands whose permission the window shows (menus are disabled for the others).
const char *const offeredCommands[] = {
        "random", "repeat", "single", "consume", "crossfade", "replay_gain_status",
        "replay_gain_mode", "outputs", "enableoutput", "seek", "setvol", "sticker",
        "partition", "readcomments"};

// How long after a change the status is read once more (see Qmpd::onRecheck).
constexpr int RecheckMs = 200;

// Deletions per command list; "delete 0\n" is far below the server's list limit.
constexpr int deletionsPerList = 10000;

void statusHook(MpdObj *, ChangedStatusType what, void *qmpd)
{
    static_cast<Qmpd *>(qmpd)->onStatusChanged(what);
}

int errorHook(MpdObj *, int id, char *message, void *qmpd)
{
    static_cast<Qmpd *>(qmpd)->onError(id, message);
    // Never "disconnect" here: libmpd would free its status inside the status query that failed
    // and then read it. A broken link is shut at once instead (the calls still to come fail at
    // once) and closed when the job is over.
    return 0;
}

// A refusal of a queue request because another client's edit came first: the song or the
// position asked for is gone. Not the user's error; the status is read again.
bool isRace(int id, const char *message)
{
    constexpr int ArgumentError = 2;
    constexpr int NoSuchThing = 50;
    static const QRegularExpression queueRequest(QStringLiteral(
            "\\{(playlistid|playlistinfo|currentsong|plchanges|plchangesposid|delete|deleteid"
            "|move|moveid|play|playid|seek|seekid|swap|swapid)\\}"));
    return (id == NoSuchThing || id == ArgumentError)
            && queueRequest.match(QString::fromUtf8(message ? message : "")).hasMatch();
}

QByteArray local(const QString &text)
{
    return text.toLocal8Bit();
}

}  // namespace

Qmpd::Qmpd(MpdObj *connected, QObject *parent) : QObject(parent), mpdObj(connected)
{
    // Without a connection, an object that answers every call as not connected.
    if (!mpdObj)
        mpdObj = mpd_new_default();
    mpd_signal_connect_error(mpdObj, errorHook, this);
    mpd_signal_connect_status_changed(mpdObj, statusHook, this);
}

Qmpd::~Qmpd()
{
    mpd_signal_connect_error(mpdObj, nullptr, nullptr);
    mpd_signal_connect_status_changed(mpdObj, nullptr, nullptr);
    mpd_disconnect(mpdObj);
    mpd_free(mpdObj);
}

bool Qmpd::isConnected() const
{
    return !lost && mpd_check_connected(mpdObj) != 0;
}

bool Qmpd::failed() const
{
    return errorsThisJob > 0 || !isConnected();
}

void Qmpd::start()
{
    Q_ASSERT(QThread::currentThread() == thread());
    mpd_set_connection_timeout(mpdObj, AnswerDeadlineMs / 1000.0);
    LibmpdLink::sendWithoutDelay(mpdObj);
    askOnlyShownTags();
    const int socket = LibmpdLink::socketOf(mpdObj);
    if (socket >= 0) {
        idleNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        idleNotifier->setEnabled(false);
        connect(idleNotifier, &QSocketNotifier::activated, this, &Qmpd::onIdleAnswer);
    }
    recheckTimer = new QTimer(this);
    recheckTimer->setSingleShot(true);
    recheckTimer->setInterval(RecheckMs);
    connect(recheckTimer, &QTimer::timeout, this, &Qmpd::onRecheck);
    // libmpd read the first status on the thread that connected; a database update that runs
    // is not news.
    pendingChanges |= MpdStatus::FirstStatus;
    deliver();
    waitForChanges();
}

void Qmpd::askOnlyShownTags()
{
    // Long tags the window never shows (comments, lyrics) then never reach it. A server before
    // 0.21 refuses, and sends everything as before.
    const int socket = LibmpdLink::socketOf(mpdObj);
    const QByteArray request = "tagtypes clear\ntagtypes enable Artist Album Title Track Date Genre Name\n";
    if (socket < 0 || !RawAnswer::send(socket, "command_list_begin\n" + request + "command_list_end\n")
        || !RawAnswer::read(socket, AnswerDeadlineMs))
        markLost();
}

std::optional<RawAnswer::Answer> Qmpd::exchange(const QByteArray &request)
{
    const int socket = LibmpdLink::socketOf(mpdObj);
    if (lost || socket < 0)
        return std::nullopt;
    std::optional<RawAnswer::Answer> answer;
    if (RawAnswer::send(socket, request))
        answer = RawAnswer::read(socket, WholeAnswerDeadlineMs);
    if (!answer) {
        qCWarning(lcQmpd) << "No whole answer in time to" << request.trimmed();
        markLost();
    }
    return answer;
}

std::optional<QList<QByteArray>> Qmpd::fetchLines(const QByteArray &request)
{
    const std::optional<RawAnswer::Answer> answer = exchange(request);
    if (!answer)
        return std::nullopt;
    if (!answer->refusal.isEmpty()) {
        reportRefusal(answer->refusal);
        return std::nullopt;
    }
    return answer->lines;
}

std::optional<SongList> Qmpd::fetchSongs(const QByteArray &request,
                                         QmpdSong::TrackDateDecoding trackDate)
{
    const std::optional<QList<QByteArray>> lines = fetchLines(request);
    if (!lines)
        return std::nullopt;
    return SongList::parse(*lines, trackDate);
}

std::optional<LibraryStats> Qmpd::libraryStats()
{
    const std::optional<QList<QByteArray>> lines = fetchLines("stats\n");
    if (!lines)
        return std::nullopt;
    return LibraryStats::parse(*lines);
}

void Qmpd::reportRefusal(const QByteArray &refusal)
{
    // "ACK [50@0] {lsinfo} No such directory", as libmpd reports it.
    onError(refusalCode(refusal), refusal.constData());
}

int Qmpd::refusalCode(const QByteArray &refusal)
{
    return refusal.mid(5).split('@').value(0).toInt();
}

void Qmpd::run(const std::function<void(Qmpd &)> &job)
{
    Q_ASSERT(QThread::currentThread() == thread());
    leaveIdle();
    errorsThisJob = 0;
    job(*this);
    // What the job changed shows now rather than when the server's idle answer arrives.
    if (isConnected())
        refreshAndRecheck();
    deliver();
    waitForChanges();
}

void Qmpd::leaveIdle()
{
    if (idleNotifier)
        idleNotifier->setEnabled(false);
    if (!idle.isWaiting())
        return;
    noteIdleEvents(idle.leave(LibmpdLink::socketOf(mpdObj), AnswerDeadlineMs));
}

void Qmpd::waitForChanges()
{
    if (!idleNotifier || !isConnected())
        return;
    if (idle.enter(LibmpdLink::socketOf(mpdObj))) {
        idleNotifier->setEnabled(true);
        return;
    }
    markLost();
    deliver();
}

void Qmpd::onIdleAnswer()
{
    idleNotifier->setEnabled(false);
    noteIdleEvents(idle.collect(LibmpdLink::socketOf(mpdObj), AnswerDeadlineMs));
    if (isConnected())
        refreshAndRecheck();
    deliver();
    waitForChanges();
}

void Qmpd::onRecheck()
{
    leaveIdle();
    if (isConnected())
        refreshAndRecheck();
    deliver();
    waitForChanges();
}

void Qmpd::refreshAndRecheck()
{
    const int reportsBefore = statusReports;
    refreshStatus();
    // libmpd ends its status query with an idle of its own, which takes the server's news of a
    // change made just after the status was read (a pause right after a play): after a change
    // the status is read once more, so that such a change shows at most this much later. The
    // link stays quiet while nothing changes.
    if (statusReports != reportsBefore)
        recheckTimer->start();
}

void Qmpd::noteIdleEvents(const std::optional<QStringList> &subsystems)
{
    if (!subsystems) {
        qCWarning(lcQmpd) << "The server did not answer in time";
        markLost();
        return;
    }
    // libmpd sees these in its own status only when it asks for them; they were read here.
    for (const QString &subsystem : *subsystems) {
        if (subsystem == QLatin1String("stored_playlist"))
            pendingChanges |= MpdStatus::StoredPlaylists;
        else if (subsystem == QLatin1String("output"))
            pendingChanges |= MpdStatus::Outputs;
        else if (subsystem == QLatin1String("database"))
            pendingChanges |= MpdStatus::Database;
        else if (subsystem == QLatin1String("sticker"))
            pendingChanges |= MpdStatus::Sticker;
        // Replay gain is the one option the status does not carry.
        else if (subsystem == QLatin1String("options"))
            pendingChanges |= MpdStatus::ReplayGain;
    }
}

void Qmpd::markLost()
{
    if (lost)
        return;
    lost = true;
    // The calls still to come in this job fail at once instead of each waiting for the
    // deadline; the connection is closed once the job is over.
    ::shutdown(LibmpdLink::socketOf(mpdObj), SHUT_RDWR);
}

void Qmpd::refreshStatus()
{
    // The server closes a connection that sends anything but "noidle" while idle.
    Q_ASSERT(!idle.isWaiting());
    LibmpdLink::hideDatabaseUpdateEnd(mpdObj);
    mpd_status_update(mpdObj);
    if ((mpd_status_db_is_updating(mpdObj) != 0) != current.updatingDatabase)
        noteChanges(MpdStatus::Updating);
}

void Qmpd::noteChanges(int what)
{
    if (what == 0)
        return;
    pendingChanges |= what;
    ++statusReports;
}

void Qmpd::onStatusChanged(int what)
{
    // Remembered, not sent: this runs inside libmpd. Its view of database updates is not
    // trusted (see refreshStatus).
    noteChanges(what & ~MpdStatus::Updating);
}

void Qmpd::onError(int id, const char *message)
{
    const QString text = errorText(id, message);
    ++errorsThisJob;
    if (isConnectionError(id)) {
        qCWarning(lcQmpd) << text;
        markLost();
    } else if (isRace(id, message)) {
        qCDebug(lcQmpd) << "Overtaken by another client:" << text;
        raceSeen = true;
    } else {
        pendingErrors << text;
    }
}

void Qmpd::deliver()
{
    if (!lost && pendingChanges != 0) {
        auto what = MpdStatus::Changes(pendingChanges);
        pendingChanges = 0;
        // Before the status, so that whoever follows the status finds the new queue.
        const auto fetch = [this](const QByteArray &request) {
            return fetchSongs(request, QmpdSong::TrackDateDecoding::Locale);
        };
        if (const std::optional<QueueChange> change = queueSync.update(mpdObj, fetch))
            emit queueChanged(*change);
        const std::optional<QmpdSong> before = current.song;
        current = readStatus(what);
        // A stream names what it plays under one song id: whoever shows the song sees a new one.
        if (before && current.song && before->id == current.song->id
            && before->title != current.song->title)
            what |= MpdStatus::Song;
        emit statusChanged(current, what);
    }
    if (!lost) {
        for (const QString &text : std::exchange(pendingErrors, {}))
            emit serverError(text);
        if (std::exchange(raceSeen, false)) {
            // What was read may be half old: once more, as the server has it now.
            refreshStatus();
            pendingChanges |= MpdStatus::Song;
            deliver();
        }
        return;
    }
    // One loss, told once; what failed with it is part of it.
    pendingErrors.clear();
    if (mpd_check_connected(mpdObj))
        mpd_disconnect(mpdObj);
    if (idleNotifier)
        idleNotifier->setEnabled(false);
    if (!lossReported) {
        lossReported = true;
        emit connectionLost();
    }
}

MpdStatus Qmpd::readStatus(MpdStatus::Changes what)
{
    MpdStatus status = current;
    status.connected = isConnected();
    status.takenAtMs = MpdStatus::nowMs();
    status.state = PlayerState(mpd_player_get_state(mpdObj));
    // libmpd answers a negative code for both while stopped, whose song it then reads as none.
    status.songId = std::max(-1, mpd_player_get_current_song_id(mpdObj));
    status.songPos = std::max(-1, mpd_player_get_current_song_pos(mpdObj));
    status.elapsed = mpd_status_get_elapsed_song_time(mpdObj);
    status.total = mpd_status_get_total_song_time(mpdObj);
    status.volume = mpd_status_get_volume(mpdObj);
    status.random = mpd_player_get_random(mpdObj) > 0;
    status.repeat = mpd_player_get_repeat(mpdObj) > 0;
    status.single = mpd_player_get_single(mpdObj) > 0;
    status.consume = mpd_player_get_consume(mpdObj) > 0;
    // Negative when the server leaves crossfade out of its status, which it does for 0.
    status.crossfade = std::max(0, mpd_status_get_crossfade(mpdObj));
    status.queueVersion = mpd_playlist_get_playlist_id(mpdObj);
    status.queueLength = mpd_playlist_get_playlist_length(mpdObj);
    status.updatingDatabase = mpd_status_db_is_updating(mpdObj) != 0;
    status.partition = partition;
    if (firstStatus || (what & MpdStatus::Permission))
        status.allowedCommands = readPermissions();
    if (firstStatus || (what & (MpdStatus::Outputs | MpdStatus::Permission)))
        status.outputs = status.allows(QStringLiteral("outputs")) ? readOutputs() : QList<MpdOutput>();
    if (firstStatus || (what & (MpdStatus::ReplayGain | MpdStatus::Permission))) {
        status.replayGain = status.allows(QStringLiteral("replay_gain_status"))
                ? MpdStatus::ReplayGainMode(mpd_server_get_replaygain_mode(mpdObj))
                : MpdStatus::ReplayGainMode::Unknown;
    }
    // A stopped server still names a current song; it is the one play would start.
    if (firstStatus || (what & (MpdStatus::Song | MpdStatus::Queue | MpdStatus::State))) {
        const std::optional<SongList> current
                = fetchSongs("currentsong\n", QmpdSong::TrackDateDecoding::Latin1);
        status.song.reset();
        status.songGenre.clear();
        if (current && !current->songs.empty()) {
            status.song = current->songs.front();
            status.songGenre = current->genres.front();
            status.songId = status.song->id;
        }
    }
    firstStatus = false;
    return status;
}

QSet<QString> Qmpd::readPermissions()
{
    QSet<QString> allowed;
    for (const char *command : offeredCommands) {
        if (mpd_server_check_command_allowed(mpdObj, command) == MPD_SERVER_COMMAND_ALLOWED)
            allowed.insert(QLatin1String(command));
    }
    return allowed;
}

QList<MpdOutput> Qmpd::readOutputs()
{
    QList<MpdOutput> outputs;
    // Walked to the end: mpd_data_get_next frees the list once past its last entry.
    for (MpdData *data = mpd_server_get_output_devices(mpdObj); data;
         data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_OUTPUT_DEV && data->output_dev) {
            const mpd_OutputEntity *output = data->output_dev;
            outputs.append({output->id, QString::fromUtf8(output->name ? output->name : ""),
                            output->enabled != 0});
        }
    }
    return outputs;
}

QString Qmpd::errorText(int id, const char *message)
{
    return QStringLiteral("MPD Error ") + QString::number(id) + QStringLiteral(" '")
            + QString::fromLatin1(message ? message : "") + QLatin1Char('\'');
}

bool Qmpd::isConnectionError(int id)
{
    // libmpd's own codes; everything else is an error the server answered with.
    return id >= MPD_ERROR_TIMEOUT && id <= MPD_ERROR_BUFFEROVERRUN && id != MPD_ERROR_ACK;
}

void Qmpd::play()
{
    mpd_player_play(mpdObj);
}

void Qmpd::pause()
{
    if (mpd_player_get_state(mpdObj) == MPD_PLAYER_PLAY)
        mpd_player_pause(mpdObj);
}

void Qmpd::playPause()
{
    if (mpd_player_get_state(mpdObj) == MPD_PLAYER_STOP)
        mpd_player_play(mpdObj);
    else
        mpd_player_pause(mpdObj);
}

void Qmpd::stop()
{
    mpd_player_stop(mpdObj);
}

void Qmpd::next()
{
    mpd_player_next(mpdObj);
}

void Qmpd::previous()
{
    mpd_player_prev(mpdObj);
}

void Qmpd::playPosition(int position)
{
    mpd_status_update(mpdObj);
    if (position < 0 || position >= mpd_playlist_get_playlist_length(mpdObj))
        return;
    if (mpd_Song *song = mpd_playlist_get_song_from_pos(mpdObj, position)) {
        const int id = song->id;
        mpd_freeSong(song);
        mpd_player_play_id(mpdObj, id);
    }
}

void Qmpd::seek(int seconds)
{
    mpd_player_seek(mpdObj, seconds);
}

void Qmpd::seekBy(int seconds)
{
    // From where the song is now, not where the last status saw it.
    mpd_status_update(mpdObj);
    const int state = mpd_player_get_state(mpdObj);
    const int length = mpd_status_get_total_song_time(mpdObj);
    // A stream has no length to seek in.
    if ((state != MPD_PLAYER_PLAY && state != MPD_PLAYER_PAUSE) || length <= 0)
        return;
    const int elapsed = mpd_status_get_elapsed_song_time(mpdObj);
    mpd_player_seek(mpdObj, std::clamp(elapsed + seconds, 0, length - 1));
}

void Qmpd::resumeIfPaused()
{
    if (mpd_player_get_state(mpdObj) == MPD_PLAYER_PAUSE)
        mpd_player_pause(mpdObj);
}

void Qmpd::setVolume(int percent)
{
    // Negative: the server has no mixer, and would answer with an error.
    if (percent >= 0 && percent <= 100 && mpd_status_get_volume(mpdObj) >= 0)
        mpd_status_set_volume(mpdObj, percent);
}

void Qmpd::changeVolumeBy(int step)
{
    const int volume = mpd_status_get_volume(mpdObj);
    if (volume >= 0)
        mpd_status_set_volume(mpdObj, std::clamp(volume + step, 0, 100));
}

void Qmpd::toggleMute()
{
    const int volume = mpd_status_get_volume(mpdObj);
    if (volume < 0)
        return;
    if (volume > 0) {
        volumeBeforeMute = volume;
        mpd_status_set_volume(mpdObj, 0);
    } else if (volumeBeforeMute > 0) {
        mpd_status_set_volume(mpdObj, volumeBeforeMute);
    }
}

void Qmpd::setMode(Mode mode, bool on)
{
    switch (mode) {
    case Mode::Random:
        mpd_player_set_random(mpdObj, on);
        break;
    case Mode::Repeat:
        mpd_player_set_repeat(mpdObj, on);
        break;
    case Mode::Single:
        mpd_player_set_single(mpdObj, on);
        break;
    case Mode::Consume:
        mpd_player_set_consume(mpdObj, on);
        break;
    }
}

void Qmpd::setCrossfade(int seconds)
{
    mpd_status_set_crossfade(mpdObj, seconds);
}

void Qmpd::setReplayGain(MpdStatus::ReplayGainMode mode)
{
    mpd_server_set_replaygain_mode(mpdObj, MpdServerReplaygainMode(mode));
    pendingChanges |= MpdStatus::ReplayGain;
}

void Qmpd::setOutput(int id, bool enabled)
{
    mpd_server_set_output_device(mpdObj, id, enabled);
}

void Qmpd::updateDatabase(const QString &path)
{
    mpd_database_update_dir(mpdObj, local(path).constData());
}

void Qmpd::clearQueue()
{
    mpd_playlist_clear(mpdObj);
}

void Qmpd::deletePositions(QList<int> positions)
{
    // Each deletion moves the later songs up one place; the subtraction keeps every queued
    // position pointing at the song that was meant.
    std::sort(positions.begin(), positions.end());
    for (int i = 0; i < positions.size(); ++i)
        mpd_playlist_queue_delete_pos(mpdObj, positions.at(i) - i);
    mpd_playlist_queue_commit(mpdObj);
}

bool Qmpd::addPaths(const QStringList &paths)
{
    // libmpd answers MPD_OK for a command list that got an error; the error hook tells.
    return PlaylistAdder::queueAddInBatches(mpdObj, paths, [this] { return failed(); });
}

bool Qmpd::moveSongs(const QList<Move> &moves)
{
    // "move 123456 123457\n" with room to spare, within the adder's command-list budget.
    constexpr int movesPerList = int(PlaylistAdder::maxBatchBytes / 32);
    for (qsizetype first = 0; first < moves.size(); first += movesPerList) {
        if (!LibmpdLink::sendMoveList(mpdObj, moves.mid(first, movesPerList)))
            return false;
    }
    return true;
}

int Qmpd::queueLength()
{
    // libmpd answers from the status it fetched last.
    mpd_status_update(mpdObj);
    return mpd_playlist_get_playlist_length(mpdObj);
}

int Qmpd::playNextPosition(int length)
{
    const int state = mpd_player_get_state(mpdObj);
    const int current = mpd_player_get_current_song_pos(mpdObj);
    const bool playing = state == MPD_PLAYER_PLAY || state == MPD_PLAYER_PAUSE;
    return playing && current >= 0 && current < length ? current + 1 : length;
}

int Qmpd::firstUpcomingPosition()
{
    // libmpd reads no current song while stopped.
    const int current = mpd_player_get_current_song_pos(mpdObj);
    return mpd_player_get_state(mpdObj) == MPD_PLAYER_STOP || current < 0 ? 0 : current + 1;
}

QStringList Qmpd::queueFiles(int from)
{
    QStringList files;
    const std::optional<SongList> queue = fetchSongs(
            RawAnswer::request("playlistinfo", {QByteArray::number(from) + ':'}),
            QmpdSong::TrackDateDecoding::Latin1);
    for (const QmpdSong &song : queue ? queue->songs : std::vector<QmpdSong>())
        files << song.file;
    return files;
}

Qmpd::DirectoryListing Qmpd::listDirectory(const QString &path)
{
    std::optional<SongList> listed
            = fetchSongs(RawAnswer::request("lsinfo", {path.toUtf8()}),
                         QmpdSong::TrackDateDecoding::Latin1);
    if (!listed)
        return {};
    return {listed->directories, std::move(listed->songs)};
}

QList<QPair<QString, QString>> Qmpd::quietPairs(const QByteArray &request)
{
    const std::optional<RawAnswer::Answer> answer = exchange(request);
    QList<QPair<QString, QString>> pairs;
    if (!answer || !answer->refusal.isEmpty())
        return pairs;
    for (const QByteArray &line : answer->lines) {
        const int colon = int(line.indexOf(": "));
        if (colon > 0)
            pairs.append({QString::fromUtf8(line.left(colon)), QString::fromUtf8(line.mid(colon + 2))});
    }
    return pairs;
}

QString Qmpd::musicDirectory()
{
    const QList<QPair<QString, QString>> pairs = quietPairs("config\n");
    for (const auto &[name, value] : pairs) {
        if (name == QLatin1String("music_directory"))
            return value;
    }
    return QString();
}

QList<QPair<QString, QString>> Qmpd::songComments(const QString &file)
{
    return quietPairs(RawAnswer::request("readcomments", {file.toUtf8()}));
}

QStringList Qmpd::storedPlaylistNames()
{
    QStringList names;
    for (MpdData *data = mpd_database_playlist_list(mpdObj); data;
         data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_PLAYLIST && data->playlist && data->playlist->path)
            names << QString::fromLocal8Bit(data->playlist->path);
    }
    return names;
}

std::vector<QmpdSong> Qmpd::storedPlaylistSongs(const QString &name)
{
    std::vector<QmpdSong> songs;
    for (MpdData *data = mpd_database_get_playlist_content(mpdObj, local(name).data()); data;
         data = mpd_data_get_next(data)) {
        if (data->type == MPD_DATA_TYPE_SONG && data->song)
            songs.push_back(QmpdSong::fromMpdSong(data->song, QmpdSong::TrackDateDecoding::Locale));
    }
    return songs;
}

bool Qmpd::saveQueueAs(const QString &name)
{
    return mpd_database_save_playlist(mpdObj, local(name).data()) == MPD_OK && !failed();
}

bool Qmpd::deleteStoredPlaylist(const QString &name)
{
    return mpd_database_delete_playlist(mpdObj, local(name).data()) == MPD_OK && !failed();
}

bool Qmpd::renameStoredPlaylist(const QString &from, const QString &to)
{
    mpd_database_playlist_rename(mpdObj, local(from).data(), local(to).data());
    return !failed();
}

bool Qmpd::loadStoredPlaylist(const QString &name)
{
    // The server skips songs it no longer has; the rest arrive in order.
    mpd_playlist_queue_load(mpdObj, local(name).data());
    mpd_playlist_queue_commit(mpdObj);
    return !failed();
}

bool Qmpd::deleteFirstSongs(int count)
{
    for (int done = 0; done < count && !failed(); done += deletionsPerList) {
        for (int i = done; i < std::min(count, done + deletionsPerList); ++i)
            mpd_playlist_queue_delete_pos(mpdObj, 0);
        mpd_playlist_queue_commit(mpdObj);
    }
    return !failed();
}
