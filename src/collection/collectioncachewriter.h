// CollectionCacheWriter: writes one host's cache files while the collection
// builder walks the server's listing. Everything goes to temporary files that
// replace the old ones only in commit(), so a listing that fails or is cut short
// leaves the previous cache as it was. Lives inside the builder's run().
#ifndef COLLECTIONCACHEWRITER_H
#define COLLECTIONCACHEWRITER_H

#include "collection/collectioncache.h"

#include <QSaveFile>
#include <QStringEncoder>

class CollectionCacheWriter
{
public:
    explicit CollectionCacheWriter(const CollectionCache &cache);

    // False when the directory or a file cannot be created: nothing is written then.
    bool open();
    // Writes the song's record, and its artist, album and pair when they are new.
    void addSong(const QmpdSong &song, CollectionIndex::Novelty novelty);
    // Records a folder the listing left out, so that a load of the cache knows it too.
    void addUnreadableFolder(const UnreadableFolder &folder);
    // Replaces the old files; the .songs file last, since it stands for the set.
    bool commit();

private:
    static constexpr int fileCount = 5;

    // Lines are gathered in memory and written in large blocks: a stream per line
    // costs more than the listing itself on a big library.
    struct Output
    {
        QSaveFile file;
        QByteArray pending;
    };

    void writeLine(CollectionCache::File file, const QString &value, bool tabbed = false);
    void writeNumberLine(qint64 number);
    void writePending(Output &output);

    const CollectionCache cache;
    bool isOpen = false;
    Output outputs[fileCount];
    QStringEncoder encoder{QStringEncoder::Utf8};
};

#endif
