// PlaylistController: the playlist tab. Mirrors the server's queue into the view as the
// connection reports changes, marks the playing row, plays a row on double click or Enter, and
// edits the queue: remove, clear, cut and paste (an internal clipboard, never the system one).
// The search field narrows the view. GUI thread.
#ifndef PLAYLISTCONTROLLER_H
#define PLAYLISTCONTROLLER_H

#include <QObject>
#include <QStringList>

#include <memory>

class PlaylistItemDelegate;
class QAbstractButton;
class QLineEdit;
class QModelIndex;
class QTableView;
struct QueueChange;
class QueueFilterModel;
class ServerConnection;
class SongModel;

class PlaylistController : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *page;
        QTableView *view;
        QLineEdit *filter;
        QAbstractButton *deleteSelectedButton;
        QAbstractButton *deleteAllButton;
    };
    PlaylistController(const Widgets &widgets, QObject *parent);
    ~PlaylistController() override;

    PlaylistItemDelegate *delegate() const { return itemDelegate; }
    // Plays the last selected row.
    void playSelected();
    // Marks the row of the song with this id as playing and gives the view the focus.
    void markNowPlaying(int songId);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    void onDeleteSelected();
    void onCutSelected();
    void onPasteSongs();
    void onDoubleClick(const QModelIndex &index);

signals:
    void message(const QString &text);

private:
    void onQueueChanged(const QueueChange &change);
    void addKey(const QList<QKeySequence> &keys, void (PlaylistController::*slot)());

    Widgets widgets;
    ServerConnection *server = nullptr;
    QList<QMetaObject::Connection> serverConnections;
    // The view's model for the controller's whole life, updated in place.
    std::unique_ptr<SongModel> model;
    // The view's model: model as the search field narrows it.
    QueueFilterModel *filterModel = nullptr;
    PlaylistItemDelegate *itemDelegate = nullptr;
    // The files of the songs last cut, in playlist order.
    QStringList cutFiles;
};

#endif
