// CollectionController: the collection tab. Builds the index of the connected server (one build
// at a time, again after a database update), shows it by artist, album and track through the
// search field, and adds from the three lists to the queue. GUI thread; the builder runs on a
// thread of its own and is stopped and waited for here.
#ifndef COLLECTIONCONTROLLER_H
#define COLLECTIONCONTROLLER_H

#include "collection/collectionalbummodel.h"
#include "collection/collectionartistmodel.h"
#include "collection/collectionbuilder.h"
#include "core/mpdstatus.h"

#include <QObject>
#include <QPersistentModelIndex>

class CollectionSearch;
class QAction;
class QLineEdit;
class QListView;
class QmpdSong;
class QueueMover;
class ServerConnection;

class CollectionController : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QLineEdit *filter;
        QListView *artistList;
        QListView *albumList;
        QListView *trackList;
    };
    CollectionController(const Widgets &widgets, QObject *parent);
    ~CollectionController() override;

    // Enter adds what the focused list has selected; Space opens its one selected artist or
    // album.
    void activateFocusedList(bool enter);
    // "Play next" beside "Add to playlist" in the three lists.
    void offerPlayNext(QueueMover *mover) const;

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

signals:
    void message(const QString &text);
    // A build started or ended: the lists it replaces are not to be used meanwhile.
    void busyChanged(bool busy);
    // A build of the live connection's collection ended (shown, or failed and kept as it was).
    void built();

private:
    void onServerStatus(const MpdStatus &status, MpdStatus::Changes what);
    void buildNow();
    void startBuild();
    void onBuilt();
    void onArtistClicked(const QModelIndex &index);
    void onAlbumClicked(const QModelIndex &index);
    bool refuseDuringBuild();
    void onAddArtist();
    void onAddAlbum();
    void onAddTrack();
    void addSongs(const QList<QmpdSong> &songs, const QString &doneMessage);

    Widgets widgets;
    ServerConnection *server = nullptr;
    QMetaObject::Connection statusConnection;
    CollectionBuilder builder;
    CollectionArtistModel artistModel;
    CollectionAlbumModel albumModel;
    // What the three lists show, through the search field.
    CollectionSearch *search = nullptr;
    QAction *addArtistAction = nullptr;
    QAction *addAlbumAction = nullptr;
    QAction *addTrackAction = nullptr;
    // The artist row of the last click that narrowed the album list; lost when the
    // list is filled again, since its rows then hold other artists.
    QPersistentModelIndex previousClicked;
    // Counts closed connections; a build is shown only if none was closed since it began.
    quint64 connectionSerial = 0;
    quint64 buildSerial = 0;
    // Builds started whose finished() has not arrived yet.
    int unreportedBuilds = 0;
    // Asked for while a build ran; started when that one ends.
    bool buildPending = false;
};

#endif
