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

#include "collectionalbummodel.h"
#include "collectionartistmodel.h"
#include "collectionbuilder.h"
#include "coverfetcher.h"
#include "mpdconnector.h"
#include "playlistsync.h"
#include "qmpd.h"
#include "scrobbler.h"

class BusyIndicator;
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

    // Connection management. Connecting runs in the background: connectionReady() tells
    // when the connection is up; a failure shows its box and "Could not connect...".
    void connectMPD(QString host, int port, QString password);
    // False when no usable server is stored (nothing is tried then).
    bool autoConnectMPD();
    bool setQmpd(Qmpd *q);
    void activateUi(bool on);

signals:
    // The window's connection is up and wired (after every successful connect); features that
    // talk to the server take it from here and drop it at connectionClosed().
    void connectionReady(Qmpd *qmpd);
    void connectionClosed();

protected:
    void closeEvent(QCloseEvent *event) override;

public slots:
    // Connection and status (mainwindow_connection.cpp, mainwindow_status.cpp).
    void onMpdError(MpdObj *mi);
    void onConnectionLost(MpdObj *mi);
    void onMpdStatusChange(MpdObj *mpd, ChangedStatusType what);
    void onDisconnect();
    void onConnectLocalhost();
    void onConnectOther();
    void onToggleFullscreen();

    // Playlist (mainwindow_playlist.cpp).
    void onEnter();
    void onSpace();
    void onDeleteSelectedFromPlaylist();
    void updatePlaylist(MpdObj *mpd);
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
    void onCoverFetched(bool success);
    void onApiKeyRejected();
    void onCoverShowFullSize();

private:
    void createActions();
    void releaseQmpd();
    void onConnected(Qmpd *q);
    void onConnectFailed();
    // Everything a closed connection leaves behind, whether the user closed it or it broke.
    void closeConnection();
    void showCover(const QPixmap &pixmap);
    void onSongChange(mpd_Song *song);
    void showVolume(int volume);
    void showPlayerState(int state);
    void updatePlayedMark(int elapsed);
    void requestCover();
    void queueForScrobbling();
    void loadSettings();
    void saveSettings() const;
    void restoreAppState();
    void saveAppState() const;
    void setupTables();
    void emptyPlaylist();
    void markNowPlaying(int songId);
    void playLastSelectedRow();
    void activateFocusedList(bool enter);
    void createQueueTools();

    // File browser (mainwindow_filebrowser.cpp).
    void buildFileBrowserMenus();
    void initializeFileBrowser();
    bool buildFBTreePath(const QString &path);
    void showFileList(std::unique_ptr<SongModel> songs);
    // The file browser tab's share of Enter (add) and Space (open).
    void fileBrowserKey(bool enter);

    // Collection (mainwindow_collection.cpp).
    void buildCollectionNow();
    void startCollectionBuild();
    void endCollectionBusy();
    void buildCollectionMenus();
    void emptyCollectionLists();
    bool refuseDuringBuild();
    void addSongsToPlaylist(const QList<QmpdSong> &songs, const QString &doneMessage);
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
    Qmpd *qmpd = nullptr;
    MpdConnector connector;
    // Set by the dialog's "Autoconnect": the server is stored once the attempt succeeds.
    bool autoconnectOnSuccess = false;
    // The view's model for the window's whole life, updated in place.
    std::unique_ptr<SongModel> playlistModel;
    PlaylistSync playlistSync;
    std::unique_ptr<QmpdSong> currentSong;
    // Whether the current song counts as played (long enough, and far enough in).
    bool currentSongPlayed = false;
    CoverFetcher coverFetcher{this};  // a child, so that tests can watch it
    QPixmap coverPixmap;
    QAction *showFullSizeAction = nullptr;
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
    // The connections made to the live Qmpd; cut at once when it is released.
    QList<QMetaObject::Connection> qmpdConnections;

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
