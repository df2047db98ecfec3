#include "lyrics/lyricssettings.h"

#include "core/settingsstore.h"

QString LyricsSettings::serviceUrl()
{
    SettingsStore settings;
    return settings->value(SettingsKey::LyricsUrl, QString::fromLatin1(DefaultServiceUrl))
            .toString()
            .trimmed();
}

QString LyricsSettings::musicFolder()
{
    SettingsStore settings;
    return settings->value(SettingsKey::LyricsMusicFolder).toString().trimmed();
}

void LyricsSettings::save(const QString &serviceUrl, const QString &musicFolder)
{
    SettingsStore settings;
    settings->setValue(SettingsKey::LyricsUrl, serviceUrl.trimmed());
    settings->setValue(SettingsKey::LyricsMusicFolder, musicFolder.trimmed());
}
