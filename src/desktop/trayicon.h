// TrayIcon: the application's icon in the desktop's tray, where there is one. Its tooltip names
// the playing song, a click shows or hides the window, and its menu drives playback. Owned by
// DesktopIntegration; GUI thread.
#ifndef TRAYICON_H
#define TRAYICON_H

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class PlayerControl;
class QAction;
class QMenu;

class TrayIcon : public QObject
{
    Q_OBJECT

public:
    TrayIcon(const QIcon &appIcon, PlayerControl *control, QObject *parent = nullptr);
    ~TrayIcon() override;

signals:
    void toggleWindowRequested();
    void quitRequested();

private slots:
    void onStatusChanged();
    void onActivated(QSystemTrayIcon::ActivationReason reason);

private:
    PlayerControl *control;
    QSystemTrayIcon icon;
    std::unique_ptr<QMenu> menu;
    QList<QAction *> playerActions;
};

#endif
