// AlbumsController: the "Albums" tab, a wall of album covers over the collection index. Builds the
// page (filter, sort, grid) right after the collection tab, fills the grid when the collection
// tab's build ends, asks for the covers of the tiles on screen and of the next screen only, and adds
// albums to the queue (Enter or double click: add; Ctrl+Enter: play next; a context menu with
// replace). Owned by the main window; GUI thread.
#ifndef ALBUMSCONTROLLER_H
#define ALBUMSCONTROLLER_H

#include "albums/albumgridmodel.h"
#include "albums/albumthumbnails.h"

#include <QObject>
#include <QPointer>

class CollectionBuilder;
class QComboBox;
class QLineEdit;
class QListView;
class QTabWidget;
class QTimer;
class ServerConnection;

class AlbumsController : public QObject
{
    Q_OBJECT

public:
    static constexpr int COVER_EDGE = 150;  // logical pixels

    AlbumsController(QTabWidget *tabs, QWidget *collectionTab, const CollectionBuilder &builder,
                     QObject *parent);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    // A build of the live connection's collection ended.
    void onCollectionBuilt();

signals:
    void message(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Placement { Append, Next, Replace };

    QWidget *buildPage();
    void addActions();
    void wantVisibleCovers();
    QStringList selectedPaths(QString *title) const;
    void queueSelected(Placement placement);

    const CollectionBuilder &builder;
    QPointer<ServerConnection> server;
    AlbumThumbnails thumbnails;
    AlbumGridModel model;
    QLineEdit *filter = nullptr;
    QComboBox *sort = nullptr;
    QListView *view = nullptr;
    QTimer *coverTimer = nullptr;
};

#endif
