// CacheLineReader: reads one collection cache file line by line as a text stream in
// text mode would (a UTF-8 byte-order mark skipped, carriage returns dropped, the
// line feed taken off), but over the whole file at once: a stream call per line
// made loading a big cache slower than asking the server. Used by CollectionCache
// and CacheSongReader, by one thread at a time.
#ifndef CACHELINEREADER_H
#define CACHELINEREADER_H

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>

class CacheLineReader
{
public:
    explicit CacheLineReader(const QString &path);

    bool atEnd() const;
    qsizetype lineCount() const;
    // The next line's UTF-8 bytes; empty once the file is exhausted.
    QByteArrayView readLine();
    // Hands the lines from the given one on to a reader of their own, which reads
    // this one's mapping and must not outlive it; this one ends before them.
    CacheLineReader splitAt(qsizetype line);

private:
    CacheLineReader(const char *position, const char *end, bool hasCarriageReturns);
    // Just past the line feed that ends the line starting at `at`, or the end.
    const char *nextLine(const char *at) const;

    QFile file;
    QByteArray contents;  // when the file could not be mapped
    const char *position = nullptr;
    const char *end = nullptr;
    bool hasCarriageReturns = false;
    QByteArray cleaned;
};

#endif
