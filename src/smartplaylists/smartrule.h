// SmartRule: a smart playlist's rule: a name, conditions of which all or any must hold, a limit
// and an order. Conditions on the tags the collection index keeps (artist, album, year, path)
// and on the stickers (rating, play count, last played) are checked here; album artist, genre
// and composer, which the index does not keep, by a search on the server (see RuleEvaluator).
// A plain value with its JSON form (see SmartRuleStore); any thread.
#ifndef SMARTRULE_H
#define SMARTRULE_H

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

struct SmartCondition
{
    enum class Field {
        Artist, AlbumArtist, Album, Genre, Composer, Year, Rating, PlayCount, NotPlayedFor, PathPrefix
    };
    Field field = Field::Artist;
    QString text;  // a tag's value, or the path prefix
    int min = 0;   // year from, stars at least, plays at least, days not played
    int max = 0;   // year to, plays at most

    // The fields a condition of the field uses.
    static bool hasText(Field field);
    static bool hasMax(Field field);
    // Tags the collection index lacks: matched by the server.
    static bool matchedByServer(Field field);
    // The tag's name in MPD's protocol, for those.
    static QString serverTag(Field field);
    static QString fieldName(Field field);  // as the editor shows it
};

struct SmartRule
{
    enum class Order { Random, LeastRecentlyPlayed, MostPlayed, Rating };
    QString name;
    bool matchAll = true;
    QList<SmartCondition> conditions;
    int limit = 0;  // 0: every matching song
    Order order = Order::Random;

    QJsonObject toJson() const;
    // Nothing for an object that is not a rule.
    static std::optional<SmartRule> fromJson(const QJsonObject &object);
    static QString orderName(Order order);  // as the editor shows it
};

#endif
