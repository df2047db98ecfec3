#include "lastfm/scrobbling.h"

#include "core/qmpdsong.h"
#include "core/settingsstore.h"

#include <QAction>
#include <QRegularExpression>

namespace {

// Only a digest of the form the settings dialog writes is handed on.
QString toHash(const QVariant &value)
{
    static const QRegularExpression md5Hex(QStringLiteral("^[0-9a-f]{32}$"));
    const QString text = value.toString();
    return md5Hex.match(text).hasMatch() ? text : QString();
}

}  // namespace

Scrobbling::Scrobbling(QAction *enableAction, QObject *parent)
    : QObject(parent), enableAction(enableAction)
{
    bool enabled = false;
    {
        SettingsStore settings;
        enabled = settings.flag(SettingsKey::LastfmEnable);
        account = {settings->value(SettingsKey::LastfmUser).toString(),
                   toHash(settings->value(SettingsKey::LastfmHash))};
    }
    enableAction->setChecked(enabled);
    connect(enableAction, &QAction::toggled, this, [](bool checked) {
        SettingsStore settings;
        settings->setValue(SettingsKey::LastfmEnable, checked);
    });
    apply();
}

Scrobbling::~Scrobbling()
{
    scrobbler.abort();
    scrobbler.wait();
}

void Scrobbling::setAccount(const QString &user, const QString &hash)
{
    if (user.isEmpty())
        account = {};
    else if (!hash.isEmpty())
        account = {user, hash};
    SettingsStore settings;
    settings->setValue(SettingsKey::LastfmUser, account.user);
    settings->setValue(SettingsKey::LastfmHash, account.hash);
    apply();
}

void Scrobbling::apply()
{
    enableAction->setEnabled(!account.user.isEmpty());
    scrobbler.setUser(account.user, account.hash);
}

void Scrobbling::onSongPlayed(const QmpdSong &song)
{
    // Queued only; nothing is submitted, so the scrobbler thread never runs and the queue is
    // ours to touch.
    if (enableAction->isChecked() && !account.user.isEmpty())
        scrobbler.enqueueSong(song);
}
