#include "desktop/desktopintegration.h"

#include "desktop/desktoplog.h"
#include "desktop/mprisservice.h"
#include "desktop/playercontrol.h"
#include "core/settingsstore.h"
#include "desktop/songnotifier.h"
#include "desktop/trayicon.h"

#include <QApplication>
#include <QDBusConnection>
#include <QWidget>

DesktopIntegration::DesktopIntegration(QWidget *window)
    : QObject(window), window(window), control(new PlayerControl(this))
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        mpris = new MprisService(bus, control, this);
        connect(mpris, &MprisService::raiseRequested, this, &DesktopIntegration::raiseWindow);
        connect(mpris, &MprisService::quitRequested, qApp, &QCoreApplication::quit);
        notifier = new SongNotifier(bus, control, this);
        notifier->setEnabled(songNotifications());
    } else {
        qCDebug(lcDesktop) << "No session bus: no media keys, player widgets or notifications";
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray = new TrayIcon(window->windowIcon(), control, this);
        connect(tray, &TrayIcon::toggleWindowRequested, this, &DesktopIntegration::toggleWindow);
        connect(tray, &TrayIcon::quitRequested, qApp, &QCoreApplication::quit);
    }
}

bool DesktopIntegration::songNotifications() const
{
    // Anything but a clear yes, typed into the file by hand, leaves them off.
    SettingsStore settings;
    return settings->value(SettingsKey::SongNotifications).toString() == QLatin1String("true");
}

void DesktopIntegration::setSongNotifications(bool on)
{
    {
        SettingsStore settings;
        settings->setValue(SettingsKey::SongNotifications, on);
    }
    if (notifier)
        notifier->setEnabled(on);
}

void DesktopIntegration::onConnectionReady(ServerConnection *connection)
{
    control->onConnectionReady(connection);
}

void DesktopIntegration::onConnectionClosed()
{
    control->onConnectionClosed();
}

void DesktopIntegration::onCoverFetched()
{
    control->refresh();
}

void DesktopIntegration::onLyricsChanged(const QString &file, const QString &plainText)
{
    control->setLyrics(file, plainText);
}

void DesktopIntegration::raiseWindow()
{
    window->show();
    window->raise();
    window->activateWindow();
}

void DesktopIntegration::toggleWindow()
{
    if (window->isVisible())
        window->hide();
    else
        raiseWindow();
}
