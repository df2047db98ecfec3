#include "desktop/trayicon.h"

#include "desktop/playercontrol.h"

#include <QMenu>

TrayIcon::TrayIcon(const QIcon &appIcon, PlayerControl *control, QObject *parent)
    : QObject(parent), control(control), icon(appIcon), menu(std::make_unique<QMenu>())
{
    playerActions = {
            menu->addAction(tr("Play/Pause"), control, &PlayerControl::playPause),
            menu->addAction(tr("Next"), control, &PlayerControl::next),
            menu->addAction(tr("Previous"), control, &PlayerControl::previous),
    };
    menu->addSeparator();
    menu->addAction(tr("Quit"), this, &TrayIcon::quitRequested);
    icon.setContextMenu(menu.get());
    connect(&icon, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
    connect(control, &PlayerControl::statusChanged, this, &TrayIcon::onStatusChanged);
    onStatusChanged();
    icon.show();
}

// The menu has no parent widget; it must go after the icon that shows it.
TrayIcon::~TrayIcon()
{
    icon.setContextMenu(nullptr);
}

void TrayIcon::onStatusChanged()
{
    const QString song = control->songText();
    icon.setToolTip(song.isEmpty() ? QStringLiteral("Tuneloom") : song);
    for (QAction *action : std::as_const(playerActions))
        action->setEnabled(control->status().connected);
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        emit toggleWindowRequested();
}
