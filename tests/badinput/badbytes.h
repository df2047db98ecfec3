// BadBytes: reproducible bad input. A fixed-seed generator of random and damaged
// byte strings for the cache loader, and a writer of mpd databases whose tag values
// are raw bytes (invalid UTF-8, control characters). Test code; any thread.
#ifndef BADBYTES_H
#define BADBYTES_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRandomGenerator>

class BadBytes
{
public:
    enum class Damage {
        RandomBytes,
        Truncated,
        FlippedBytes,
        InvalidUtf8,
        CrlfEndings,
        LostLines,
        HugeLine
    };

    explicit BadBytes(quint32 seed) : random(seed) { }

    // Bytes from an alphabet rich in what a line reader trips over (line feeds,
    // carriage returns, tabs, escapes, NUL, stray UTF-8 lead and trail bytes).
    QByteArray randomBytes(int maxSize);
    // A copy of a well-formed file with one kind of damage, at random places.
    QByteArray damaged(const QByteArray &file, Damage damage);
    int bounded(int limit) { return int(random.bounded(limit)); }

    struct RawSong
    {
        QByteArray uri;                             // below the directory "D"
        QList<QPair<QByteArray, QByteArray>> tags;  // name, raw value
    };
    // An mpd 0.23 database of one directory "D" holding the songs, as bytes verbatim.
    static bool writeDatabase(const QString &dbPath, const QList<RawSong> &songs);

private:
    QByteArray randomLine();

    QRandomGenerator random;
};

#endif
