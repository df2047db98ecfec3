#include "ui/preferences.h"

#include "core/settingsstore.h"
#include "covers/coverfetcher.h"
#include "desktop/desktopintegration.h"
#include "lastfm/scrobbling.h"
#include "lyrics/lyricssettings.h"
#include "playlist/playlistitemdelegate.h"
#include "ui/settingsdialog.h"

Preferences::Preferences(const Parts &parts, QWidget *window)
    : QObject(window), parts(parts), window(window)
{
    SettingsStore settings;
    deleteCovers = settings.flag(SettingsKey::DeleteAlbumArt);
    // Anything that is not a colour gives an invalid one, which the delegate ignores like the
    // transparent default: it keeps its own colour then.
    parts.playlistDelegate->setNpColor(
            settings->value(SettingsKey::NpColor, QColor(Qt::transparent)).value<QColor>());
    parts.covers->setApiKey(settings->value(SettingsKey::LastfmApiKey,
                                            QString::fromLatin1(CoverFetcher::DEFAULT_API_KEY))
                                    .toString()
                                    .trimmed());
}

void Preferences::edit()
{
    SettingsDialog dialog(window);
    dialog.setInitialValues(parts.scrobbling->user(), deleteCovers,
                            parts.playlistDelegate->getNpColor(),
                            parts.desktop->songNotifications());
    dialog.setApiKey(parts.covers->apiKey());
    dialog.setLyricsSources(LyricsSettings::serviceUrl(), LyricsSettings::musicFolder());
    if (dialog.exec() != QDialog::Accepted)
        return;
    parts.covers->setApiKey(dialog.getApiKey());
    LyricsSettings::save(dialog.getLyricsUrl(), dialog.getMusicFolder());
    deleteCovers = dialog.getDelArt();
    parts.desktop->setSongNotifications(dialog.getTrayNote());
    parts.playlistDelegate->setNpColor(dialog.getNpCol());
    parts.scrobbling->setAccount(dialog.getLFMUser(), dialog.getLFMHash());
    save();
}

void Preferences::save() const
{
    SettingsStore settings;
    settings->setValue(SettingsKey::NpColor, parts.playlistDelegate->getNpColor());
    settings->setValue(SettingsKey::DeleteAlbumArt, deleteCovers);
    settings->setValue(SettingsKey::LastfmApiKey, parts.covers->apiKey());
}
