#include "smartplaylists/ruleevaluator.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {

using Field = SmartCondition::Field;
constexpr qint64 SecondsPerDay = 24 * 60 * 60;

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool holds(const SmartCondition &condition, int index, const QmpdSong &song,
           const RuleEvaluator::Input &input)
{
    const SongFact fact = input.facts.value(song.file);
    switch (condition.field) {
    case Field::Artist:
        return sameText(song.artist, condition.text);
    case Field::Album:
        return sameText(song.album, condition.text);
    case Field::AlbumArtist:
    case Field::Genre:
    case Field::Composer:
        return input.serverMatches.value(index).contains(song.file);
    case Field::Year: {
        bool isYear = false;
        const int year = song.date.left(4).toInt(&isYear);
        return isYear && year >= condition.min && year <= condition.max;
    }
    case Field::Rating:
        return fact.rating >= 2 * condition.min;
    case Field::PlayCount:
        return fact.playCount >= condition.min && fact.playCount <= condition.max;
    case Field::NotPlayedFor:
        return fact.lastPlayed <= input.now - condition.min * SecondsPerDay;
    case Field::PathPrefix:
        return song.file.startsWith(condition.text);
    }
    return false;
}

bool matches(const SmartRule &rule, const QmpdSong &song, const RuleEvaluator::Input &input)
{
    for (int i = 0; i < rule.conditions.size(); ++i) {
        if (holds(rule.conditions.at(i), i, song, input) != rule.matchAll)
            return !rule.matchAll;
    }
    return rule.matchAll || rule.conditions.isEmpty();
}

// Ties keep the index's order, so that the same facts give the same list.
void sortFor(SmartRule::Order order, QList<QmpdSong> &songs, const RuleEvaluator::Input &input,
             QRandomGenerator &random)
{
    const auto fact = [&input](const QmpdSong &song) { return input.facts.value(song.file); };
    switch (order) {
    case SmartRule::Order::Random:
        std::shuffle(songs.begin(), songs.end(), random);
        break;
    case SmartRule::Order::LeastRecentlyPlayed:
        std::stable_sort(songs.begin(), songs.end(), [&](const QmpdSong &a, const QmpdSong &b) {
            return fact(a).lastPlayed < fact(b).lastPlayed;
        });
        break;
    case SmartRule::Order::MostPlayed:
        std::stable_sort(songs.begin(), songs.end(), [&](const QmpdSong &a, const QmpdSong &b) {
            return fact(a).playCount > fact(b).playCount;
        });
        break;
    case SmartRule::Order::Rating:
        std::stable_sort(songs.begin(), songs.end(), [&](const QmpdSong &a, const QmpdSong &b) {
            return fact(a).rating > fact(b).rating;
        });
        break;
    }
}

}  // namespace

QStringList RuleEvaluator::evaluate(const SmartRule &rule, const Input &input, QRandomGenerator &random)
{
    QList<QmpdSong> picked;
    for (const QmpdSong &song : input.songs) {
        if (matches(rule, song, input))
            picked.append(song);
    }
    sortFor(rule.order, picked, input, random);
    if (rule.limit > 0 && picked.size() > rule.limit)
        picked.resize(rule.limit);
    QStringList files;
    files.reserve(picked.size());
    for (const QmpdSong &song : std::as_const(picked))
        files << song.file;
    return files;
}
