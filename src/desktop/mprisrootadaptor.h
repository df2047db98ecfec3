// MprisRootAdaptor: the org.mpris.MediaPlayer2 interface (who we are, Raise, Quit) on the
// MprisService object that owns it. GUI thread.
#ifndef MPRISROOTADAPTOR_H
#define MPRISROOTADAPTOR_H

#include <QDBusAbstractAdaptor>
#include <QStringList>

class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuitOrRaise)
    Q_PROPERTY(bool CanRaise READ canQuitOrRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedNothing)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedNothing)

public:
    explicit MprisRootAdaptor(QObject *service);

    bool canQuitOrRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Tuneloom"); }
    QString desktopEntry() const { return QStringLiteral("tuneloom"); }
    // Nothing can be opened by address: the server plays only what it knows.
    QStringList supportedNothing() const { return {}; }

public slots:
    void Raise();
    void Quit();

signals:
    void raiseRequested();
    void quitRequested();
};

#endif
