#include "smartplaylists/smartrule.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <iterator>

namespace {

using Field = SmartCondition::Field;

// The names in the rules file: part of its format, never translated.
const char *const fieldKeys[] = {"artist", "albumArtist", "album",     "genre",
                                 "composer", "year",      "rating",    "playCount",
                                 "notPlayedForDays", "pathPrefix"};
const char *const orderKeys[] = {"random", "leastRecentlyPlayed", "mostPlayed", "rating"};

template<typename Enum, size_t N> std::optional<Enum> fromKey(const char *const (&keys)[N], const QString &key)
{
    for (size_t i = 0; i < N; ++i) {
        if (key == QLatin1String(keys[i]))
            return Enum(i);
    }
    return std::nullopt;
}

QString translated(const char *text)
{
    return QCoreApplication::translate("SmartRule", text);
}

}  // namespace

bool SmartCondition::hasText(Field field)
{
    return field != Field::Year && field != Field::Rating && field != Field::PlayCount
            && field != Field::NotPlayedFor;
}

bool SmartCondition::hasMax(Field field)
{
    return field == Field::Year || field == Field::PlayCount;
}

bool SmartCondition::matchedByServer(Field field)
{
    return field == Field::AlbumArtist || field == Field::Genre || field == Field::Composer;
}

QString SmartCondition::serverTag(Field field)
{
    switch (field) {
    case Field::AlbumArtist:
        return QStringLiteral("AlbumArtist");
    case Field::Genre:
        return QStringLiteral("Genre");
    case Field::Composer:
        return QStringLiteral("Composer");
    default:
        return QString();
    }
}

QString SmartCondition::fieldName(Field field)
{
    static const char *const names[] = {
            QT_TRANSLATE_NOOP("SmartRule", "Artist is"),     QT_TRANSLATE_NOOP("SmartRule", "Album artist is"),
            QT_TRANSLATE_NOOP("SmartRule", "Album is"),      QT_TRANSLATE_NOOP("SmartRule", "Genre is"),
            QT_TRANSLATE_NOOP("SmartRule", "Composer is"),   QT_TRANSLATE_NOOP("SmartRule", "Year from/to"),
            QT_TRANSLATE_NOOP("SmartRule", "Stars at least"), QT_TRANSLATE_NOOP("SmartRule", "Plays from/to"),
            QT_TRANSLATE_NOOP("SmartRule", "Not played for days"), QT_TRANSLATE_NOOP("SmartRule", "Path begins with")};
    return translated(names[int(field)]);
}

QString SmartRule::orderName(Order order)
{
    static const char *const names[] = {
            QT_TRANSLATE_NOOP("SmartRule", "Random"), QT_TRANSLATE_NOOP("SmartRule", "Least recently played"),
            QT_TRANSLATE_NOOP("SmartRule", "Most played"), QT_TRANSLATE_NOOP("SmartRule", "Rating")};
    return translated(names[int(order)]);
}

QJsonObject SmartRule::toJson() const
{
    QJsonArray conditionList;
    for (const SmartCondition &condition : conditions) {
        QJsonObject object{{"field", QLatin1String(fieldKeys[int(condition.field)])},
                           {"min", condition.min}};
        if (SmartCondition::hasText(condition.field))
            object.insert("text", condition.text);
        if (SmartCondition::hasMax(condition.field))
            object.insert("max", condition.max);
        conditionList.append(object);
    }
    return {{"name", name},
            {"match", matchAll ? "all" : "any"},
            {"conditions", conditionList},
            {"limit", limit},
            {"order", QLatin1String(orderKeys[int(order)])}};
}

std::optional<SmartRule> SmartRule::fromJson(const QJsonObject &object)
{
    SmartRule rule;
    rule.name = object.value("name").toString();
    const auto order = fromKey<Order>(orderKeys, object.value("order").toString());
    if (rule.name.isEmpty() || !order)
        return std::nullopt;
    rule.order = *order;
    rule.matchAll = object.value("match").toString() != QLatin1String("any");
    rule.limit = qMax(0, object.value("limit").toInt());
    for (const QJsonValue &value : object.value("conditions").toArray()) {
        const QJsonObject item = value.toObject();
        const auto field = fromKey<Field>(fieldKeys, item.value("field").toString());
        if (!field)
            return std::nullopt;
        rule.conditions.append({*field, item.value("text").toString(), item.value("min").toInt(),
                                item.value("max").toInt()});
    }
    return rule;
}
