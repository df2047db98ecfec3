// SmartRuleStore: the smart playlists of one server, kept in the settings folder as a readable,
// versioned JSON file (smartplaylists/<host>_<port>.json):
//   {"format": "tuneloom-smart-playlists", "version": 1, "rules": [ {rule}, ... ]}
// written whole through a temporary file that replaces the old one only once complete, so that a
// crash in the middle of a write leaves the previous rules. A file of a later version is read
// as far as it can be but never written over. GUI thread.
#ifndef SMARTRULESTORE_H
#define SMARTRULESTORE_H

#include "smartplaylists/smartrule.h"

#include <QList>
#include <QString>

class SmartRuleStore
{
public:
    static constexpr int Version = 1;

    static QString fileFor(const QString &host, int port);

    // The rules in the file; none when it is missing or unreadable.
    static QList<SmartRule> load(const QString &path);
    // False when the file could not be written or is of a later version.
    static bool save(const QString &path, const QList<SmartRule> &rules);
};

#endif
