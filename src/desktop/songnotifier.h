// SongNotifier: one desktop notification (org.freedesktop.Notifications) per song that starts
// playing, each replacing the one before, when the user has asked for them. Owned by
// DesktopIntegration; GUI thread.
#ifndef SONGNOTIFIER_H
#define SONGNOTIFIER_H

#include <QDBusConnection>
#include <QObject>

class PlayerControl;

class SongNotifier : public QObject
{
    Q_OBJECT

public:
    SongNotifier(const QDBusConnection &bus, PlayerControl *control, QObject *parent = nullptr);

    void setEnabled(bool on) { enabled = on; }

private slots:
    void onStatusChanged();

private:
    void notify();

    QDBusConnection bus;
    PlayerControl *control;
    bool enabled = false;
    // The song last announced; kept across reconnections, so that coming back to the same
    // song says nothing.
    int announcedSongId = -1;
    // The server's id of our last notification, which the next one replaces.
    uint notificationId = 0;
};

#endif
