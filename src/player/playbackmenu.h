// PlaybackMenu: the window's "&Playback" menu (random, repeat, single, consume, crossfade,
// replay gain, audio outputs) and its keys for seeking and volume. Created and owned by the
// main window, in the GUI thread; it reaches the server only through the window's connection,
// from connectionReady() to connectionClosed(). Every check shows what the server reports, never
// the last click, and a control the server does not let this client use is disabled.
#ifndef PLAYBACKMENU_H
#define PLAYBACKMENU_H

#include <QList>
#include <QObject>
#include <QPointer>

#include "core/mpdstatus.h"
#include "core/serverconnection.h"

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QWidget;

class PlaybackMenu : public QObject
{
    Q_OBJECT

public:
    // Puts the menu into menuBar right after `after`; the seek and volume keys go to window.
    PlaybackMenu(QMenuBar *menuBar, QMenu *after, QWidget *window);
    // For the parts that add submenus of their own (partitions).
    QMenu *getMenu() const { return menu; }

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();

private:
    void buildModes();
    QActionGroup *buildChoices(QMenu *submenu, const QList<QPair<QString, int>> &choices,
                               void (PlaybackMenu::*onChoice)(int));
    void buildKeys(QWidget *window);
    void onMpdStatusChange(const MpdStatus &status, MpdStatus::Changes what);
    // Sends one command; until the server's answer shows, the menu shows what it showed before
    // the click (Qt has already flipped the clicked check).
    template<typename... Args> void apply(void (PlaybackMenu::*show)(), Args... command);
    bool allowed(const char *command) const;
    const MpdStatus &status() const { return server->status(); }

    void onCrossfadeChoice(int seconds);
    void onReplayGainChoice(int mode);
    void onOutputToggled(QAction *output);
    void seekBy(int seconds);
    void changeVolumeBy(int step);

    void showAll();
    void showModes();
    void showCrossfade();
    void showReplayGain();
    void showOutputs();
    void showDisconnected();
    void setOtherCrossfade(int seconds);
    void clearOutputs();

    QPointer<ServerConnection> server;
    QMetaObject::Connection statusConnection;
    QMenu *menu = nullptr;
    QList<QAction *> modeActions;  // in the order of the mode table
    QMenu *crossfadeMenu = nullptr;
    QActionGroup *crossfadeGroup = nullptr;
    // The server's crossfade when it is none of the listed choices.
    QAction *otherCrossfade = nullptr;
    QMenu *replayGainMenu = nullptr;
    QActionGroup *replayGainGroup = nullptr;
    QMenu *outputsMenu = nullptr;
    QList<QAction *> keyActions;  // seek back, seek forward, volume up, volume down
};

#endif
