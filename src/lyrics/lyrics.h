// Lyrics: the words of one song as the window shows them. Synced lyrics have lines with the time
// they are sung at, in time order; plain lyrics have only the text. A plain value: made by
// LrcParser on any thread, read on the GUI thread.
#ifndef LYRICS_H
#define LYRICS_H

#include <QList>
#include <QString>

struct LyricsLine
{
    qint64 ms = 0;  // from the start of the song
    QString text;   // may be empty: a pause between verses
};

struct Lyrics
{
    QList<LyricsLine> lines;  // synced only; sorted by time
    QString plainText;        // the words without times, also of synced lyrics

    bool isSynced() const { return !lines.isEmpty(); }
    bool isEmpty() const { return lines.isEmpty() && plainText.isEmpty(); }
    // The line being sung at `ms`; -1 before the first one.
    int lineAt(qint64 ms) const;
};

#endif
