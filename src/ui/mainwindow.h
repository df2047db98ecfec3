// MainWindow: the program's one window. Owns the widget tree, the MPD
// connection while there is one, the models and the worker threads, and
// carries the handlers of every subsystem (split by subsystem over the
// mainwindow_*.cpp files). Lives in the GUI thread.
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QColor>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QStringList>

#include <memory>
#include <optional>

#include "collection/collectionalbummodel.h"
#include "collection/collectionartistmodel.h"
#include "collection/collectionbuilder.h"
#include "covers/coverfetcher.h"
#include "core/mpdstatus.h"
#include "core/queuesync.h"
#include "lastfm/scrobbler.h"

class BusyIndicator;
class ConnectionController;
class NowPlayingPanel;
class PlaybackMenu;
class ServerConnection;
class DesktopIntegration;
class CollectionSearch;
class FileBrowserTreeModel;
class InfoBanner;
class PlaylistItemDelegate;
class QueueFilterModel;
class QAbstractItemView;
class QmpdSong;
class QStringListModel;
class SongModel;
class SongSortFilterModel;
class Ui_MainWindow;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void myShowMessage(const QString &message);

    // Connecting runs in the background: the connection controller's connectionReady() tells
    // when the connection is up; a failure shows its box and "Could not connect...".
    void connectMPD(QString host, int port, QString password);
    // False when no usable server is stored (nothing is tried then).
    bool autoConnectMPD();
    void activateUi(bool on);

protected:
    void closeEvent(QCloseEvent *event) override;

public slots:
    // Connection and status (mainwindow_connection.cpp).
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    void onServerStatus(const MpdStatus &status, MpdStatus::Changes what);
    void onToggleFullscreen();

    // Playlist (mainwindow_playlist.cpp).
    void onEnter();
    void onSpace();
    void onDeleteSelectedFromPlaylist();
    void onQueueChanged(const QueueChange &change);
    void onPlaylistDoubleClick(const QModelIndex &index);
    void onCutSelected();
    void onPasteSongs();

    // Collection (mainwindow_collection.cpp).
    void onCollectionBuilt();
    void onCArtistClick(const QModelIndex &index);
    void onCAlbumClick(const QModelIndex &index);
    void onAddArtist();
    void onAddAlbum();
    void onAddTrack();

    // File browser (mainwindow_filebrowser.cpp).
    void onFBDirClicked(const QModelIndex &index);
    void onFBDirCollapsed(const QModelIndex &index);
    void onUpdateDir();
    void onAddDir();
    void onAddTrackFB();

    // Covers and settings (mainwindow_lastfm.cpp, mainwindow_settings.cpp).
    void onSettings();
    void onEnableScrobbling(bool checked);
    void onApiKeyRejected();

private:
    // The live connection, or null.
    ServerConnection *server() const;
    void createActions();
    void queueForScrobbling(const QmpdSong &song);
    void loadSettings();
    void saveSettings() const;
    void restoreAppState();
    void saveAppState() const;
    void setupTables();
    void markNowPlaying(int songId);
    void playLastSelectedRow();
    void activateFocusedList(bool enter);
    void createQueueTools();
    void createServerTools(PlaybackMenu *playbackMenu);

    // File browser (mainwindow_filebrowser.cpp).
    void buildFileBrowserMenus();
    void initializeFileBrowser();
    void showFileList(std::unique_ptr<SongModel> songs);
    // The file browser tab's share of Enter (add) and Space (open).
    void fileBrowserKey(bool enter);
    void showDirectory(const QModelIndex &index, const QString &path,
                       const QList<QPair<QString, QStringList>> &listed,
                       std::vector<QmpdSong> songs);

    // Collection (mainwindow_collection.cpp).
    void buildCollectionNow();
    void startCollectionBuild();
    void endCollectionBusy();
    void buildCollectionMenus();
    bool refuseDuringBuild();
    void addSongsToPlaylist(const QList<QmpdSong> &songs, const QString &doneMessage);
    // Appends to the queue; the message once the server has taken them all.
    void addToQueue(const QStringList &paths, const QString &doneMessage);
    // Enter adds what the focused collection list has selected; Space opens the
    // one selected artist or album.
    void collectionKey(bool enter);
    static QStringList selectedTexts(const QAbstractItemView *view);
    static std::optional<QString> singleSelectedText(const QAbstractItemView *view);

    Ui_MainWindow *ui = nullptr;
    QAction *cutAction = nullptr;
    QAction *pasteAction = nullptr;
    QAction *deleteAction = nullptr;
    QAction *fullscreenAction = nullptr;
    QAction *enterAction = nullptr;
    QAction *spaceAction = nullptr;
    QAction *updateDirAction = nullptr;
    ConnectionController *connection = nullptr;
    NowPlayingPanel *nowPlaying = nullptr;
    // The view's model for the window's whole life, updated in place.
    std::unique_ptr<SongModel> playlistModel;
    CoverFetcher coverFetcher{this};  // a child, so that tests can watch it
    Scrobbler scrobbler;
    bool deleteAlbumArt = false;
    QColor npColor;
    QString lfmUser;
    QString lfmHash;

    CollectionBuilder collectionBuilder;
    CollectionArtistModel artistModel;
    CollectionAlbumModel albumModel;
    QAction *addArtistAction = nullptr;
    QAction *addAlbumAction = nullptr;
    QAction *addTrackAction = nullptr;
    // What the three lists show, through the search field.
    CollectionSearch *collectionSearch = nullptr;
    // The artist row of the last click that narrowed the album list; lost when the
    // list is filled again, since its rows then hold other artists.
    QPersistentModelIndex previousClicked;
    // Counts closed connections; a build is shown only if none was closed since it began.
    quint64 connectionSerial = 0;
    quint64 buildSerial = 0;
    // Builds started whose finished() has not arrived yet.
    int unreportedBuilds = 0;
    // Asked for while a build ran; started when that one ends.
    bool collectionBuildPending = false;
    BusyIndicator *busyIndicator = nullptr;

    InfoBanner *banner = nullptr;
    // MPRIS, notifications and the tray; follows the connection through the two signals.
    DesktopIntegration *desktop = nullptr;
    // The connections made to the live connection; cut at once when it closes.
    QList<QMetaObject::Connection> serverConnections;

    // Playlist.
    // The files of the songs last cut, in playlist order; never the system clipboard.
    QStringList cutFiles;
    PlaylistItemDelegate *playlistDelegate = nullptr;
    SongSortFilterModel *fileListProxy = nullptr;
    // The playlist view's model: playlistModel as the search field narrows it.
    QueueFilterModel *queueFilter = nullptr;

    // File browser.
    FileBrowserTreeModel *fbModel = nullptr;
    QList<QPair<QString, QStringList>> fbDirTree;
    QMap<QString, bool> fbVisited;
    QAction *fbAddDirAction = nullptr;
    QAction *fbUpdateDirAction = nullptr;
    QAction *fbAddTrackAction = nullptr;
    // The source of fileListProxy: the songs of the directory opened last.
    std::unique_ptr<SongModel> fileListSongs;
    // Set while a directory is being opened, so that the view's expanded() signal, which
    // opening raises, does not list the same directory again.
    bool fbOpeningDirectory = false;
};

#endif
