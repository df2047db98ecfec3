#include "desktop/songnotifier.h"

#include "desktop/playercontrol.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

namespace {
constexpr int ServerDefaultTimeout = -1;
}

SongNotifier::SongNotifier(const QDBusConnection &bus, PlayerControl *control, QObject *parent)
    : QObject(parent), bus(bus), control(control)
{
    connect(control, &PlayerControl::statusChanged, this, &SongNotifier::onStatusChanged);
}

void SongNotifier::onStatusChanged()
{
    // A song counts once it plays: skipping through songs while stopped or paused says nothing.
    const MpdStatus &status = control->status();
    if (!enabled || !status.playing() || status.songId < 0 || status.songId == announcedSongId)
        return;
    announcedSongId = status.songId;
    notify();
}

void SongNotifier::notify()
{
    const MpdStatus &status = control->status();
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tuneloom")}};
    const QString cover = control->coverFile();
    if (!cover.isEmpty())
        hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(cover).toString());
    QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The body may be read as markup: an album such as "Rock & Roll" must stay text.
    call << QStringLiteral("Tuneloom") << notificationId << QStringLiteral("tuneloom")
         << control->songText() << status.song->album.toHtmlEscaped() << QStringList() << hints
         << ServerDefaultTimeout;
    // Not waited for: a slow or missing notification server must not hold up the window.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid())
            notificationId = reply.value();
        w->deleteLater();
    });
}
