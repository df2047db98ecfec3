// Qmpd: the program's one connection to an MPD server. Owned by the main window
// from connection to disconnection; lives in, and is only used from, the GUI thread.
// libmpd reports status changes and errors through C hooks; they are collected
// and delivered as signals only after the library call that raised them has
// returned, so no handler (and no error box's nested event loop) ever runs
// inside libmpd or re-enters the connection object.
#ifndef QMPD_H
#define QMPD_H

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <libmpd/libmpd.h>

class QTimer;

// libmpd's connection object is only ever passed around by pointer.
Q_DECLARE_OPAQUE_POINTER(MpdObj *)
Q_DECLARE_METATYPE(MpdObj *)
Q_DECLARE_METATYPE(ChangedStatusType)

Q_DECLARE_LOGGING_CATEGORY(lcQmpd)

class Qmpd : public QObject
{
    Q_OBJECT

public:
    // Connects in the calling thread, which it blocks until the server answers.
    Qmpd(QString host, int port, QString password);
    // Takes over a connection that is up (opened on another thread, which no longer uses it).
    Qmpd(MpdObj *connected, QString host, int port, QString password);
    ~Qmpd() override;

    MpdObj *getMpdObj() const;
    bool isConnected() const;
    QString host() const { return serverHost; }
    int port() const { return serverPort; }
    QString password() const { return serverPassword; }

    // Ends polling and delivery for good: the owner is about to delete this object.
    void retire();
    // True while an error libmpd reported waits for delivery: a direct libmpd call that just
    // returned failed, whatever its return value says (command lists come back MPD_OK on ACK).
    bool hasPendingError() const { return !pendingErrors.isEmpty(); }

    void mpdStatusChangedEmitter(MpdObj *mi, ChangedStatusType what);
    void mpdErrorCallback(MpdObj *mi, int id, char *msg, void *userdata);

    // Emits a status change with everything the first status holds (song, state, volume...),
    // at once, for a receiver that has just been wired.
    void announceFirstStatus();

    void playFromPos(int pos) const;
    void removeFromPlaylist(QList<int> positions);

    // "MPD Error <id> '<message>'", as the error boxes show it.
    static QString errorText(int id, const char *message);
    // Whether libmpd's error means the link to the server is gone, not a refusal by the server.
    static bool isConnectionError(int id);
    static void showError(const QString &text);

    static Qmpd *static_this;

signals:
    void mpdStatusChanged(MpdObj *mi, ChangedStatusType what);
    void mpdErrorOccured(MpdObj *mi);
    void updatePlaylistNow(MpdObj *mi);
    // The link to the server broke (it went away, or the network did); no box was shown.
    void connectionLost(MpdObj *mi);

public slots:
    void onPlaypauseClick();
    void onStopClick();
    void onNextClick();
    void onPrevClick();
    void onSliderMoved(int value);
    void onSliderPress();
    void onSliderRelease();
    void onVolumeSliderMoved(int value);
    void onVolumeButton();
    void onTimerUpdate();
    void onClearPlaylist();
    void onUpdateDB();

private:
    void refreshStatus();
    void scheduleDelivery();
    void deliverPending();

    MpdObj *mpdObj = nullptr;
    QTimer *pollTimer = nullptr;
    QString serverHost;
    int serverPort = 0;
    QString serverPassword;

    bool statusPending = false;
    int pendingStatus = 0;
    struct PendingError
    {
        int id;
        QString text;
    };
    QList<PendingError> pendingErrors;
    bool deliveryScheduled = false;
    bool delivering = false;
    bool retired = false;
};

#endif
