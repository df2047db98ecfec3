// SongFacts: what the server's sticker database says of its songs, as this window last read it:
// each song's rating (0 to 10, two per star), play count and time last played. Filled by the
// ratings feature from the connection's answers, read by the song models and the rating
// controls. Owned by the ratings controller; GUI thread.
#ifndef SONGFACTS_H
#define SONGFACTS_H

#include <QHash>
#include <QObject>
#include <QString>

struct SongFact
{
    int rating = -1;  // none
    int playCount = 0;
    qint64 lastPlayed = 0;  // Unix time; 0: never
};

class SongFacts : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the server keeps stickers at all (else every song's facts are unknown).
    bool available() const { return stickers; }
    SongFact of(const QString &file) const { return facts.value(file); }
    const QHash<QString, SongFact> &all() const { return facts; }
    void replace(QHash<QString, SongFact> newFacts, bool available);

signals:
    void changed();

private:
    QHash<QString, SongFact> facts;
    bool stickers = false;
};

#endif
