// DesktopIntegration: what the window offers the desktop. Media keys and panel widgets through
// MPRIS, song-change notifications and the tray icon, all following the window's connection.
// Created by the main window as its child; GUI thread. Without a session bus only the tray is
// there.
#ifndef DESKTOPINTEGRATION_H
#define DESKTOPINTEGRATION_H

#include <QObject>

class MprisService;
class PlayerControl;
class ServerConnection;
class SongNotifier;
class TrayIcon;

class DesktopIntegration : public QObject
{
    Q_OBJECT

public:
    explicit DesktopIntegration(QWidget *window);

    // The user's choice, kept in the settings file; off unless chosen.
    bool songNotifications() const;
    void setSongNotifications(bool on);

public slots:
    void onConnectionReady(ServerConnection *connection);
    void onConnectionClosed();
    // A new cover may now be shown with the song.
    void onCoverFetched();
    // The words of the song `file` (xesam:asText); empty while none are known.
    void onLyricsChanged(const QString &file, const QString &plainText);

private:
    void raiseWindow();
    void toggleWindow();

    QWidget *window;
    PlayerControl *control;
    MprisService *mpris = nullptr;
    SongNotifier *notifier = nullptr;
    TrayIcon *tray = nullptr;
};

#endif
