#include "smartplaylists/smartrulestore.h"

#include "core/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

const QLatin1String Format("tuneloom-smart-playlists");

QJsonObject readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    return object.value("format").toString() == Format ? object : QJsonObject();
}

}  // namespace

QString SmartRuleStore::fileFor(const QString &host, int port)
{
    QString server = host + QLatin1Char('_') + QString::number(port);
    // A host name or address never holds these, but a file name must not.
    server.replace(QLatin1Char('/'), QLatin1Char('_'));
    return SettingsStore::directory() + QStringLiteral("/smartplaylists/") + server
            + QStringLiteral(".json");
}

QList<SmartRule> SmartRuleStore::load(const QString &path)
{
    QList<SmartRule> rules;
    for (const QJsonValue &value : readFile(path).value("rules").toArray()) {
        if (const std::optional<SmartRule> rule = SmartRule::fromJson(value.toObject()))
            rules << *rule;
    }
    return rules;
}

bool SmartRuleStore::save(const QString &path, const QList<SmartRule> &rules)
{
    if (readFile(path).value("version").toInt() > Version)
        return false;
    QJsonArray list;
    for (const SmartRule &rule : rules)
        list.append(rule.toJson());
    const QJsonObject document{{"format", Format}, {"version", Version}, {"rules", list}};
    QSaveFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
            && file.write(QJsonDocument(document).toJson(QJsonDocument::Indented)) > 0
            && file.commit();
}
