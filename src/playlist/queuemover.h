// QueueMover: arranging the queue by hand. Rows dragged inside the playlist view and
// dropped elsewhere in it are moved on the server; "Play next" (Ctrl+Enter, or the
// context menu) puts the selected songs of the playlist view, or of a list that adds
// songs to the queue, right after the playing song. Owned by the main window, which
// hands it the connection; GUI thread.
#ifndef QUEUEMOVER_H
#define QUEUEMOVER_H

#include "core/mpdstatus.h"

#include <QObject>
#include <QPointer>

class QAbstractItemView;
class QAction;
class QDropEvent;
class QTableView;
class ServerConnection;

class QueueMover : public QObject
{
    Q_OBJECT

public:
    QueueMover(QTableView *playlistView, QObject *parent);

    // A list whose add action appends its selected songs to the queue: its "Play next"
    // runs that action and then moves what it appended.
    void addPlayNextSource(QAbstractItemView *view, QAction *addAction);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    void message(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *makePlayNextAction(QAbstractItemView *view);
    void onDrop(QDropEvent *drop);
    // Moves the view's selected rows in front of its row `before` (its row count: to the
    // end). The moved rows are selected once the view shows them.
    void moveSelectedRows(int before);
    void playNextFromQueue();
    void playNextVia(QAction *addAction);
    // Moves the rows in front of `before`; a negative `before` means right after the playing song.
    void moveQueueRows(const QList<int> &rows, int before);
    void onStatusChanged(const MpdStatus &status, MpdStatus::Changes what);

    QTableView *view;
    QPointer<ServerConnection> server;
    QMetaObject::Connection statusConnection;
    // The queue rows just moved; selected when the view shows the new order.
    int movedFirst = -1;
    int movedCount = 0;
};

#endif
