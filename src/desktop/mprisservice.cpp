#include "desktop/mprisservice.h"

#include "desktop/desktoplog.h"
#include "desktop/mprisplayeradaptor.h"
#include "desktop/mprisrootadaptor.h"
#include "desktop/playercontrol.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QUrl>

namespace {

constexpr qlonglong MicrosecondsPerSecond = 1000000;
// Statuses report whole seconds: a smaller difference is playing on.
constexpr double JumpToleranceSeconds = 2.5;

QString loopStatus(const MpdStatus &status)
{
    if (!status.repeat)
        return QStringLiteral("None");
    return status.single ? QStringLiteral("Track") : QStringLiteral("Playlist");
}

QString playbackStatus(PlayerState state)
{
    switch (state) {
    case PlayerState::Playing:
        return QStringLiteral("Playing");
    case PlayerState::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

// MPD names local songs by their path inside its music directory, which a client cannot know:
// those become relative URLs, streams keep their own.
QString songUrl(const QString &file)
{
    if (file.contains(QLatin1String("://")))
        return file;
    return QString::fromLatin1(QUrl(file, QUrl::TolerantMode).toEncoded());
}

void insertIfSet(QVariantMap &map, const char *key, const QString &value)
{
    if (!value.isEmpty())
        map.insert(QLatin1String(key), value);
}

}  // namespace

MprisService::MprisService(const QDBusConnection &bus, PlayerControl *control, QObject *parent)
    : QObject(parent), bus(bus), serviceName(QLatin1String(ServiceName)), control(control)
{
    auto *root = new MprisRootAdaptor(this);
    connect(root, &MprisRootAdaptor::raiseRequested, this, &MprisService::raiseRequested);
    connect(root, &MprisRootAdaptor::quitRequested, this, &MprisService::quitRequested);
    player = new MprisPlayerAdaptor(this, control);
    connect(control, &PlayerControl::statusChanged, this, &MprisService::onStatusChanged);
    connect(control, &PlayerControl::lyricsChanged, this, &MprisService::announceChanges);
    announced = playerProperties();

    this->bus.registerObject(QLatin1String(ObjectPath), this, QDBusConnection::ExportAdaptors);
    // A second instance takes a name of its own, as the MPRIS convention asks.
    if (!this->bus.registerService(serviceName)) {
        serviceName += QStringLiteral(".instance")
                + QString::number(QCoreApplication::applicationPid());
        if (!this->bus.registerService(serviceName))
            qCWarning(lcDesktop) << "Could not register" << serviceName << "on the session bus";
    }
}

MprisService::~MprisService()
{
    bus.unregisterService(serviceName);
    bus.unregisterObject(QLatin1String(ObjectPath));
}

QDBusObjectPath MprisService::trackId(int songId)
{
    return QDBusObjectPath(QStringLiteral("/org/tuneloom/Track/") + QString::number(songId));
}

QVariantMap MprisService::playerProperties() const
{
    const MpdStatus &status = control->status();
    const bool hasSong = status.connected && status.song.has_value();
    return {
            {QStringLiteral("PlaybackStatus"), playbackStatus(status.state)},
            {QStringLiteral("LoopStatus"), loopStatus(status)},
            {QStringLiteral("Shuffle"), status.random},
            {QStringLiteral("Volume"), qMax(0, status.volume) / 100.0},
            {QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("CanGoNext"), status.connected && status.queueLength > 0},
            {QStringLiteral("CanGoPrevious"), status.connected && status.queueLength > 0},
            {QStringLiteral("CanPlay"), status.connected && status.queueLength > 0},
            {QStringLiteral("CanPause"), hasSong},
            {QStringLiteral("CanSeek"), hasSong && status.song->time > 0},
            {QStringLiteral("CanControl"), status.connected},
    };
}

QVariantMap MprisService::metadata() const
{
    const auto &song = control->status().song;
    if (!song) {
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(
                         QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
    }
    QVariantMap map{
            {QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId(song->id))},
            {QStringLiteral("mpris:length"), song->time * MicrosecondsPerSecond},
            {QStringLiteral("xesam:title"),
             song->title.isEmpty() ? song->file.section(QLatin1Char('/'), -1) : song->title},
            {QStringLiteral("xesam:url"), songUrl(song->file)},
    };
    if (!song->artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{song->artist});
    insertIfSet(map, "xesam:album", song->album);
    // The tag may read 3/12: the number is what comes before the slash.
    bool isNumber = false;
    const int trackNumber = song->track.section(QLatin1Char('/'), 0, 0).trimmed().toInt(&isNumber);
    if (isNumber)
        map.insert(QStringLiteral("xesam:trackNumber"), trackNumber);
    insertIfSet(map, "xesam:asText", control->lyricsText());
    const QString cover = control->coverFile();
    if (!cover.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(cover).toString());
    return map;
}

void MprisService::seekTo(int seconds)
{
    control->seek(seconds);
    notePosition();
    emit player->Seeked(lastElapsed * MicrosecondsPerSecond);
}

void MprisService::onStatusChanged()
{
    announceChanges();
    announceJump();
    notePosition();
}

void MprisService::announceChanges()
{
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    announced = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1String(ObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    bus.send(signal);
}

void MprisService::announceJump()
{
    const MpdStatus &status = control->status();
    if (!status.connected || status.songId != lastSongId)
        return;
    const double expected = lastElapsed + (lastPlaying ? sinceLastStatus.elapsed() / 1000.0 : 0.0);
    const int elapsed = control->elapsed();
    if (qAbs(elapsed - expected) > JumpToleranceSeconds)
        emit player->Seeked(elapsed * MicrosecondsPerSecond);
}

void MprisService::notePosition()
{
    lastSongId = control->status().songId;
    lastElapsed = control->elapsed();
    lastPlaying = control->status().playing();
    sinceLastStatus.start();
}
