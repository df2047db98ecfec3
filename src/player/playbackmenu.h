// PlaybackMenu: the window's "&Playback" menu (random, repeat, single, consume, crossfade,
// replay gain, audio outputs) and its keys for seeking and volume. Created and owned by the
// main window, in the GUI thread; it reaches the server only through the window's Qmpd, from
// connectionReady() to connectionClosed(). Every check shows what the server reports, never
// the last click, and a control the server does not let this client use is disabled.
#ifndef PLAYBACKMENU_H
#define PLAYBACKMENU_H

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

#include "qmpd.h"

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

public slots:
    void onConnectionReady(Qmpd *connection);
    void onConnectionClosed();

private:
    void buildModes();
    QActionGroup *buildChoices(QMenu *submenu, const QList<QPair<QString, int>> &choices,
                               void (PlaybackMenu::*onChoice)(int));
    void buildKeys(QWidget *window);
    void onMpdStatusChange(MpdObj *mi, ChangedStatusType what);
    // Runs one command on the server, then polls at once: the change shows without waiting
    // for the next poll, a refused one falls back, and a failure reaches the user through the
    // connection's error hook (which may close the connection meanwhile).
    void apply(const std::function<void(MpdObj *)> &command, void (PlaybackMenu::*show)());
    bool allowed(const char *command) const;

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

    QPointer<Qmpd> qmpd;
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
