#include "core/settingsstore.h"

#include <QDir>
#include <QFile>

static constexpr QFileDevice::Permissions PrivateDir =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
static constexpr QFileDevice::Permissions PrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

SettingsStore::SettingsStore()
    : settings((ensureDirectory(), directory() + QStringLiteral("/config.conf")), QSettings::IniFormat)
{
}

SettingsStore::~SettingsStore()
{
    settings.sync();
    // QSettings replaces the file on every write; keep the new one private too.
    if (QFile::exists(settings.fileName()))
        QFile::setPermissions(settings.fileName(), PrivateFile);
}

QString SettingsStore::directory()
{
    return QDir::homePath() + QStringLiteral("/.config/tuneloom");
}

bool SettingsStore::ensureDirectory()
{
    const QString path = directory();
    if (QDir(path).exists())
        return true;
    return QDir().mkpath(path) && QFile::setPermissions(path, PrivateDir);
}

bool SettingsStore::flag(const char *key, bool fallback)
{
    const QVariant value = settings.value(QLatin1String(key));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}
