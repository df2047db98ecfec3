#include "desktop/mprisplayeradaptor.h"

#include "desktop/mprisservice.h"
#include "desktop/playercontrol.h"

namespace {
constexpr qlonglong MicrosecondsPerSecond = 1000000;
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *service, PlayerControl *control)
    : QDBusAbstractAdaptor(service), service(service), control(control)
{ }

QVariant MprisPlayerAdaptor::published(const char *name) const
{
    return service->playerProperties().value(QLatin1String(name));
}

qlonglong MprisPlayerAdaptor::position() const
{
    return control->elapsed() * MicrosecondsPerSecond;
}

void MprisPlayerAdaptor::setLoopStatus(const QString &loop)
{
    // A single song on repeat is MPD's repeat and single together.
    if (loop == QLatin1String("None"))
        control->setLoop(false, false);
    else if (loop == QLatin1String("Track"))
        control->setLoop(true, true);
    else if (loop == QLatin1String("Playlist"))
        control->setLoop(true, false);
}

void MprisPlayerAdaptor::setShuffle(bool on)
{
    control->setShuffle(on);
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    control->setVolume(qRound(qBound(0.0, volume, 1.0) * 100));
}

void MprisPlayerAdaptor::Play()
{
    control->play();
}
void MprisPlayerAdaptor::Pause()
{
    control->pause();
}
void MprisPlayerAdaptor::PlayPause()
{
    control->playPause();
}
void MprisPlayerAdaptor::Stop()
{
    control->stop();
}
void MprisPlayerAdaptor::Next()
{
    control->next();
}
void MprisPlayerAdaptor::Previous()
{
    control->previous();
}

void MprisPlayerAdaptor::Seek(qlonglong offset)
{
    const auto &song = control->status().song;
    if (!song)
        return;
    const qlonglong target = control->elapsed() + offset / MicrosecondsPerSecond;
    // Seeking past the end goes on to the next song, as media players do.
    if (target > song->time)
        control->next();
    else
        service->seekTo(int(qMax(0LL, target)));
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position)
{
    // Meant for the song the caller saw: a stale request is dropped.
    const auto &song = control->status().song;
    if (!song || trackId != MprisService::trackId(song->id) || position < 0
        || position > song->time * MicrosecondsPerSecond)
        return;
    service->seekTo(int(position / MicrosecondsPerSecond));
}
