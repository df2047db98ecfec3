// MprisService: the player as desktops see it, org.mpris.MediaPlayer2.tuneloom on the session bus.
// Carries the two MPRIS adaptors, publishes the player's properties from PlayerControl's
// snapshots, and announces every change the status poll shows (PropertiesChanged, and Seeked when
// the position jumps). Owned by DesktopIntegration; GUI thread.
#ifndef MPRISSERVICE_H
#define MPRISSERVICE_H

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QVariantMap>

class MprisPlayerAdaptor;
class PlayerControl;

class MprisService : public QObject
{
    Q_OBJECT

public:
    static constexpr char ServiceName[] = "org.mpris.MediaPlayer2.tuneloom";
    static constexpr char ObjectPath[] = "/org/mpris/MediaPlayer2";

    MprisService(const QDBusConnection &bus, PlayerControl *control, QObject *parent = nullptr);
    ~MprisService() override;

    // Every property of the Player interface but Position, by its D-Bus name.
    QVariantMap playerProperties() const;
    void seekTo(int seconds);

    static QDBusObjectPath trackId(int songId);

signals:
    void raiseRequested();
    void quitRequested();

private slots:
    void onStatusChanged();

private:
    QVariantMap metadata() const;
    void announceChanges();
    void announceJump();
    void notePosition();

    QDBusConnection bus;
    QString serviceName;
    PlayerControl *control;
    MprisPlayerAdaptor *player;
    QVariantMap announced;
    // Where the song was at the last status, to tell a jump from playing on.
    int lastSongId = -1;
    int lastElapsed = 0;
    bool lastPlaying = false;
    QElapsedTimer sinceLastStatus;
};

#endif
