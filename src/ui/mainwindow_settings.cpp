// The user's settings and the window's geometry, kept in the settings store.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "desktop/desktopintegration.h"
#include "lyrics/lyricssettings.h"
#include "playlist/playlistitemdelegate.h"
#include "ui/settingsdialog.h"
#include "core/settingsstore.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>

namespace {

// The file is plain text that anyone may edit: a value that is not clearly a boolean gives the
// default rather than whatever QVariant makes of it ("garbage" would read as true).
bool toBool(const QVariant &value, bool fallback)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

// Only a digest of the form the settings dialog writes is handed on.
QString toHash(const QVariant &value)
{
    static const QRegularExpression md5Hex(QStringLiteral("^[0-9a-f]{32}$"));
    const QString text = value.toString();
    return md5Hex.match(text).hasMatch() ? text : QString();
}

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

void MainWindow::loadSettings()
{
    bool enable = false;
    QVariant color;
    {
        SettingsStore settings;
        enable = toBool(settings->value(SettingsKey::LastfmEnable), false);
        lfmUser = settings->value(SettingsKey::LastfmUser).toString();
        lfmHash = toHash(settings->value(SettingsKey::LastfmHash));
        deleteAlbumArt = toBool(settings->value(SettingsKey::DeleteAlbumArt), false);
        color = settings->value(SettingsKey::NpColor, QColor(Qt::transparent));
        coverFetcher.setApiKey(settings->value(SettingsKey::LastfmApiKey,
                                               QString::fromLatin1(CoverFetcher::DEFAULT_API_KEY))
                                       .toString()
                                       .trimmed());
    }
    // Runs onEnableScrobbling, which writes the same value back.
    ui->actionEnable_scrobbling->setChecked(enable);
    // Anything that is not a colour gives an invalid one, which the delegate ignores like the
    // transparent default: it keeps its own colour then.
    npColor = color.value<QColor>();
    playlistDelegate->setNpColor(npColor);
    scrobbler.setUser(lfmUser, lfmHash);
}

void MainWindow::saveSettings() const
{
    SettingsStore settings;
    settings->setValue(SettingsKey::NpColor, npColor);
    settings->setValue(SettingsKey::DeleteAlbumArt, deleteAlbumArt);
    settings->setValue(SettingsKey::LastfmUser, lfmUser);
    settings->setValue(SettingsKey::LastfmHash, lfmHash);
    settings->setValue(SettingsKey::LastfmApiKey, coverFetcher.apiKey());
}

void MainWindow::restoreAppState()
{
    SettingsStore settings;
    const QPoint position = settings->value(SettingsKey::AppPosition).toPoint();
    const QSize size = settings->value(SettingsKey::AppSize).toSize();
    const bool maximized = toBool(settings->value(SettingsKey::AppMaximized), false);
    const bool hidden = toBool(settings->value(SettingsKey::AppHidden), false);
    const QSize shownSize = size.isValid() ? size : minimumSize();
    if (isReachable(position, shownSize))
        move(position);
    if (maximized)
        showMaximized();
    else
        resize(shownSize);
    if (hidden)
        hide();
}

void MainWindow::saveAppState() const
{
    SettingsStore settings;
    settings->setValue(SettingsKey::AppPosition, pos());
    settings->setValue(SettingsKey::AppSize, size());
    settings->setValue(SettingsKey::AppMaximized, isMaximized());
    settings->setValue(SettingsKey::AppHidden, isHidden());
}

void MainWindow::onSettings()
{
    SettingsDialog dialog;
    dialog.setInitialValues(lfmUser, deleteAlbumArt, playlistDelegate->getNpColor(),
                            desktop->songNotifications());
    dialog.setApiKey(coverFetcher.apiKey());
    dialog.setLyricsSources(LyricsSettings::serviceUrl(), LyricsSettings::musicFolder());
    if (dialog.exec() != QDialog::Accepted)
        return;
    coverFetcher.setApiKey(dialog.getApiKey());
    LyricsSettings::save(dialog.getLyricsUrl(), dialog.getMusicFolder());
    deleteAlbumArt = dialog.getDelArt();
    desktop->setSongNotifications(dialog.getTrayNote());
    npColor = dialog.getNpCol();
    playlistDelegate->setNpColor(npColor);
    // The password field opens empty: a user name without a password keeps the stored account,
    // and clearing the user name removes the account together with its digest.
    const QString user = dialog.getLFMUser();
    const QString hash = dialog.getLFMHash();
    if (user.isEmpty()) {
        lfmUser.clear();
        lfmHash.clear();
    } else if (!hash.isEmpty()) {
        lfmUser = user;
        lfmHash = hash;
    }
    ui->actionEnable_scrobbling->setEnabled(!lfmUser.isEmpty());
    scrobbler.setUser(lfmUser, lfmHash);
    saveSettings();
}

void MainWindow::onEnableScrobbling(bool checked)
{
    SettingsStore settings;
    settings->setValue(SettingsKey::LastfmEnable, checked);
}
