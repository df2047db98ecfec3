// RuleEvaluator: the songs a smart playlist's rule picks, in its order and within its limit, from
// the collection index and the songs' stickers, plus the server's answers for the tags the index
// lacks. Plain functions over values; any thread.
#ifndef RULEEVALUATOR_H
#define RULEEVALUATOR_H

#include "core/qmpdsong.h"
#include "core/songfacts.h"
#include "smartplaylists/smartrule.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

class QRandomGenerator;

namespace RuleEvaluator {

struct Input
{
    QList<QmpdSong> songs;            // the collection index
    QHash<QString, SongFact> facts;   // by file
    // For each condition the server matches (by its place in the rule), the files it found.
    QHash<int, QSet<QString>> serverMatches;
    qint64 now = 0;                   // Unix time
};

// The files of the songs the rule picks.
QStringList evaluate(const SmartRule &rule, const Input &input, QRandomGenerator &random);

}  // namespace RuleEvaluator

#endif
