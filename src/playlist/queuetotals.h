// QueueTotals: the line under the playlist: how many songs the queue holds and how long they
// play, the time left from the playing song on, and with a filter how many rows are shown.
// Follows the queue model, the filter and the server's status (a tick a second while playing).
// Made by the main window, which hands it the playlist view (its model: the queue through the
// filter) and the label; GUI thread.
#ifndef QUEUETOTALS_H
#define QUEUETOTALS_H

#include "core/mpdstatus.h"

#include <QMetaObject>
#include <QObject>

class QAbstractItemModel;
class QAbstractItemView;
class QLabel;
class QTimer;
class ServerConnection;
class SongModel;

class QueueTotals : public QObject
{
    Q_OBJECT

public:
    struct Totals
    {
        int songs = 0;
        qint64 seconds = 0;
        qint64 secondsLeft = -1;  // none while stopped
        int shown = -1;           // none without a filter that hides rows
    };

    QueueTotals(const QAbstractItemView *view, QLabel *label, QObject *parent);

    // "N songs, H:MM:SS", then "H:MM:SS left" and "M shown" when there are such.
    static QString describe(const Totals &totals);
    Totals count() const;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

private:
    void onStatus(const MpdStatus &status);
    void show();

    const SongModel *queue;
    const QAbstractItemModel *shown;
    QLabel *label;
    QTimer *refresh;
    QTimer *tick;
    MpdStatus status;
    QMetaObject::Connection statusConnection;
};

#endif
