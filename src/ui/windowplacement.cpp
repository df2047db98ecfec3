#include "ui/windowplacement.h"

#include "core/settingsstore.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <algorithm>

namespace {

// A position from a screen that is gone, or typed into the file, could put the window where
// nobody can grab it: the top band, where the title bar is, must lie partly on a screen.
bool isReachable(const QPoint &position, const QSize &size)
{
    const QRect topBand(position, QSize(size.width(), 30));
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.cbegin(), screens.cend(), [&](const QScreen *screen) {
        return screen->availableGeometry().intersects(topBand);
    });
}

}  // namespace

void WindowPlacement::restore(QMainWindow *window)
{
    SettingsStore settings;
    const QPoint position = settings->value(SettingsKey::AppPosition).toPoint();
    const QSize size = settings->value(SettingsKey::AppSize).toSize();
    const QSize shownSize = size.isValid() ? size : window->minimumSize();
    if (isReachable(position, shownSize))
        window->move(position);
    if (settings.flag(SettingsKey::AppMaximized))
        window->showMaximized();
    else
        window->resize(shownSize);
    if (settings.flag(SettingsKey::AppHidden))
        window->hide();
}

void WindowPlacement::save(const QMainWindow *window)
{
    SettingsStore settings;
    settings->setValue(SettingsKey::AppPosition, window->pos());
    settings->setValue(SettingsKey::AppSize, window->size());
    settings->setValue(SettingsKey::AppMaximized, window->isMaximized());
    settings->setValue(SettingsKey::AppHidden, window->isHidden());
}
