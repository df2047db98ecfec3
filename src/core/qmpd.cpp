#include "qmpd.h"

#include "connectattempt.h"

#include <QLoggingCategory>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcQmpd, "tuneloom.core")

Qmpd *Qmpd::static_this = nullptr;

static constexpr int PollIntervalMs = 700;

static void status_changed(MpdObj *mi, ChangedStatusType what, void *)
{
    if (Qmpd::static_this)
        Qmpd::static_this->mpdStatusChangedEmitter(mi, what);
}

static int error_callback(MpdObj *mi, int id, char *msg, void *userdata)
{
    if (Qmpd::static_this)
        Qmpd::static_this->mpdErrorCallback(mi, id, msg, userdata);
    // A broken link is dropped at once, so that the calls still to come fail at once instead
    // of each waiting for the timeout. After a refusal by the server the connection stays:
    // the window decides once the user has seen the error.
    return Qmpd::isConnectionError(id) ? 1 : 0;
}

static MpdObj *connectShowingError(const ServerAddress &server)
{
    const ConnectAttempt::Outcome outcome = ConnectAttempt::connectNow(server);
    if (!outcome.error.isEmpty())
        Qmpd::showError(outcome.error);
    return outcome.connection;
}

Qmpd::Qmpd(QString host, int port, QString password)
    : Qmpd(connectShowingError({host, port, password}), host, port, password)
{
}

Qmpd::Qmpd(MpdObj *connected, QString host, int port, QString password)
    : QObject(nullptr), serverHost(host), serverPort(port), serverPassword(password)
{
    pollTimer = new QTimer(this);
    static_this = this;
    // Without a connection, an object that answers every call as not connected.
    mpdObj = connected ? connected : mpd_new_default();
    mpd_signal_connect_error(mpdObj, error_callback, nullptr);
    mpd_signal_connect_status_changed(mpdObj, status_changed, nullptr);
    connect(pollTimer, &QTimer::timeout, this, &Qmpd::onTimerUpdate);
    if (isConnected())
        pollTimer->start(PollIntervalMs);
}

void Qmpd::announceFirstStatus()
{
    // libmpd reported the first status to the thread that connected. A database update, if
    // one runs, is not news.
    statusPending = true;
    pendingStatus |= MPD_CST_PLAYLIST | MPD_CST_SONGPOS | MPD_CST_SONGID | MPD_CST_VOLUME
            | MPD_CST_TOTAL_TIME | MPD_CST_ELAPSED_TIME | MPD_CST_CROSSFADE | MPD_CST_RANDOM
            | MPD_CST_REPEAT | MPD_CST_STATE | MPD_CST_SINGLE_MODE | MPD_CST_CONSUME_MODE;
    deliverPending();
}

Qmpd::~Qmpd()
{
    pollTimer->stop();
    mpd_disconnect(mpdObj);
    mpd_free(mpdObj);
    if (static_this == this)
        static_this = nullptr;
}

MpdObj *Qmpd::getMpdObj() const
{
    return mpdObj;
}

bool Qmpd::isConnected() const
{
    return mpd_check_connected(mpdObj) != 0;
}

void Qmpd::retire()
{
    retired = true;
    pollTimer->stop();
    statusPending = false;
    pendingErrors.clear();
}

void Qmpd::mpdStatusChangedEmitter(MpdObj *, ChangedStatusType what)
{
    // Remembered, not emitted: this runs inside libmpd.
    statusPending = true;
    pendingStatus |= what;
    scheduleDelivery();
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

void Qmpd::mpdErrorCallback(MpdObj *, int id, char *msg, void *)
{
    pendingErrors.append({id, errorText(id, msg)});
    // No polling while an error waits for the user: a dead server would
    // otherwise raise a new error every 700 ms.
    pollTimer->stop();
    scheduleDelivery();
}

void Qmpd::scheduleDelivery()
{
    // Qmpd's own commands deliver right after their library call returns; this
    // catches what the window's direct libmpd calls raise.
    if (deliveryScheduled)
        return;
    deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &Qmpd::deliverPending, Qt::QueuedConnection);
}

void Qmpd::deliverPending()
{
    Q_ASSERT(QThread::currentThread() == thread());
    deliveryScheduled = false;
    // An error box runs a nested event loop; whatever arrives meanwhile is
    // picked up by the loop below once the box is closed.
    if (delivering || retired)
        return;
    delivering = true;
    while (!retired && (statusPending || !pendingErrors.isEmpty())) {
        if (statusPending) {
            const auto what = ChangedStatusType(pendingStatus);
            statusPending = false;
            pendingStatus = 0;
            emit mpdStatusChanged(mpdObj, what);
        } else {
            const PendingError error = pendingErrors.takeFirst();
            if (isConnectionError(error.id) || !isConnected()) {
                // One loss, told once, without a box: the window reconnects by itself.
                qCWarning(lcQmpd) << error.text;
                pendingErrors.clear();
                emit connectionLost(mpdObj);
            } else {
                showError(error.text);
                emit mpdErrorOccured(mpdObj);
            }
        }
    }
    delivering = false;
    if (!retired && !pollTimer->isActive() && isConnected())
        pollTimer->start(PollIntervalMs);
}

void Qmpd::showError(const QString &text)
{
    qCWarning(lcQmpd) << text;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tuneloom"), text);
    box.exec();
}

void Qmpd::refreshStatus()
{
    mpd_status_update(mpdObj);
    deliverPending();
}

void Qmpd::onTimerUpdate()
{
    refreshStatus();
}

void Qmpd::onPlaypauseClick()
{
    if (mpd_player_get_state(mpdObj) == MPD_PLAYER_STOP)
        mpd_player_play(mpdObj);
    else
        mpd_player_pause(mpdObj);
    refreshStatus();
}

void Qmpd::onStopClick()
{
    mpd_player_stop(mpdObj);
    refreshStatus();
}

void Qmpd::onNextClick()
{
    mpd_player_next(mpdObj);
    refreshStatus();
}

void Qmpd::onPrevClick()
{
    mpd_player_prev(mpdObj);
    refreshStatus();
}

void Qmpd::onSliderMoved(int value)
{
    mpd_player_seek(mpdObj, value);
    deliverPending();
}

void Qmpd::onSliderPress()
{
    // Playback pauses while the user drags the position.
    if (mpd_player_get_state(mpdObj) == MPD_PLAYER_PLAY)
        mpd_player_pause(mpdObj);
    deliverPending();
}

void Qmpd::onSliderRelease()
{
    if (mpd_player_get_state(mpdObj) == MPD_PLAYER_PAUSE)
        mpd_player_pause(mpdObj);
    deliverPending();
}

void Qmpd::onVolumeSliderMoved(int value)
{
    if (value < 0 || value > 100)
        return;
    mpd_status_set_volume(mpdObj, value);
    deliverPending();
}

void Qmpd::onVolumeButton()
{
    // The volume to restore when un-muting; kept for the whole run, across connections.
    static int prev_vol = mpd_status_get_volume(mpdObj);
    const int volume = mpd_status_get_volume(mpdObj);
    if (volume > 0) {
        prev_vol = mpd_status_get_volume(mpdObj);
        mpd_status_set_volume(mpdObj, 0);
    } else {
        mpd_status_set_volume(mpdObj, prev_vol);
    }
    deliverPending();
}

void Qmpd::onClearPlaylist()
{
    if (!mpdObj)
        return;
    mpd_playlist_clear(mpdObj);
    deliverPending();
    if (!retired)
        emit updatePlaylistNow(mpdObj);
}

void Qmpd::onUpdateDB()
{
    if (!mpdObj)
        return;
    mpd_database_update_dir(mpdObj, "/");
    deliverPending();
}

void Qmpd::playFromPos(int pos) const
{
    // Asking for a position past the end makes the server answer with an error.
    if (!mpdObj || pos < 0 || pos >= mpd_playlist_get_playlist_length(mpdObj))
        return;
    mpd_Song *song = mpd_playlist_get_song_from_pos(mpdObj, pos);
    if (!song)
        return;
    const int id = song->id;
    mpd_freeSong(song);
    mpd_player_play_id(mpdObj, id);
}

void Qmpd::removeFromPlaylist(QList<int> positions)
{
    if (!mpdObj)
        return;
    // Each deletion moves the later songs up one place; the subtraction keeps
    // every queued position pointing at the song that was meant.
    std::sort(positions.begin(), positions.end());
    for (int i = 0; i < positions.size(); ++i)
        mpd_playlist_queue_delete_pos(mpdObj, positions.at(i) - i);
    mpd_playlist_queue_commit(mpdObj);
    mpd_status_queue_update(mpdObj);
    deliverPending();
    if (!retired)
        emit updatePlaylistNow(mpdObj);
}
