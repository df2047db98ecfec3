// MainWindow: the program's one window. Builds the widgets from mainwindow.ui, creates the parts
// that own their behaviour (connection, now-playing panel, playlist, collection, file browser,
// stored playlists, playback menu, desktop integration, preferences) and wires them together.
// GUI thread.
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "covers/coverfetcher.h"

#include <QMainWindow>

class BusyIndicator;
class CollectionController;
class ConnectionController;
class FileBrowserController;
class InfoBanner;
class LyricsController;
class NowPlayingPanel;
class PlaybackMenu;
class PlaylistController;
class Preferences;
class ServerConnection;
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
    // To the server kept for autoconnection, or to the first found where one usually is.
    void autoConnectMPD();

private:
    void createTabs();
    void createPanels();
    void createMenus();
    void createKeys();
    // Ratings, play counts and smart playlists: kept in the server's sticker database.
    void createStickerFeatures();
    void createServerTools(PlaybackMenu *playbackMenu);
    // Parts that follow the connection: told when one is up and when it ends.
    template<typename Part> void followConnection(Part *part);
    template<typename Part> void showMessagesOf(Part *part);
    // Enter and Space: both play the playlist's row; the other lists tell Enter (add) from
    // Space (open).
    void activateFocusedList(bool enter);
    void activateUi(bool on);
    void showCollectionBusy(bool busy);
    void toggleFullscreen();

    Ui_MainWindow *ui = nullptr;
    ConnectionController *connection = nullptr;
    CoverFetcher coverFetcher{this};  // a child, so that tests can watch it
    NowPlayingPanel *nowPlaying = nullptr;
    PlaylistController *playlist = nullptr;
    CollectionController *collection = nullptr;
    FileBrowserController *fileBrowser = nullptr;
    LyricsController *lyrics = nullptr;
    Preferences *preferences = nullptr;
    InfoBanner *banner = nullptr;
    BusyIndicator *busyIndicator = nullptr;
};

#endif
