// MprisPlayerAdaptor: the org.mpris.MediaPlayer2.Player interface on the MprisService object that
// owns it. Reads the published properties from the service and hands commands to the
// PlayerControl. GUI thread.
#ifndef MPRISPLAYERADAPTOR_H
#define MPRISPLAYERADAPTOR_H

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

class MprisService;
class PlayerControl;

class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)

public:
    MprisPlayerAdaptor(MprisService *service, PlayerControl *control);

    QString playbackStatus() const { return published("PlaybackStatus").toString(); }
    QString loopStatus() const { return published("LoopStatus").toString(); }
    void setLoopStatus(const QString &loop);
    bool shuffle() const { return published("Shuffle").toBool(); }
    void setShuffle(bool on);
    double volume() const { return published("Volume").toDouble(); }
    void setVolume(double volume);
    qlonglong position() const;
    QVariantMap metadata() const { return published("Metadata").toMap(); }
    // The server has no playback speed.
    double rate() const { return 1.0; }
    bool canGoNext() const { return published("CanGoNext").toBool(); }
    bool canGoPrevious() const { return published("CanGoPrevious").toBool(); }
    bool canPlay() const { return published("CanPlay").toBool(); }
    bool canPause() const { return published("CanPause").toBool(); }
    bool canSeek() const { return published("CanSeek").toBool(); }
    bool canControl() const { return published("CanControl").toBool(); }

public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong position);

signals:
    void Seeked(qlonglong position);

private:
    QVariant published(const char *name) const;

    MprisService *service;
    PlayerControl *control;
};

#endif
