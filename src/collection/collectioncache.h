// CollectionCache: the files that keep one host's collection index between connections
// (~/.config/tuneloom/.<host>.artists, .albums, .artistalbums, .songs2, and .unreadable, the
// folders the index lacks). The songs file of the older format, eight lines a song without the
// modification time, album artist, genre and composer, was named .songs: it is never read, so such a cache counts as missing and
// is rebuilt, and the next complete write removes it.: where they are, whether they are fresh, how a value is stored
// and how they load.
// Used by the collection builder inside its own thread; CollectionCacheWriter writes them.
#ifndef COLLECTIONCACHE_H
#define COLLECTIONCACHE_H

#include "collection/collectionindex.h"
#include "collection/unreadablefolder.h"

#include <QString>

class CollectionCache
{
public:
    enum File { Artists, ArtistAlbums, Albums, Songs, UnreadableFolders };

    explicit CollectionCache(const QString &host);
    // The start of the cache files' names of a server (a host or a socket).
    static QString fileStem(const QString &host);

    QString filePath(File file) const;
    QString obsoleteSongsPath() const;
    static QString directory();
    // Creates the directory (owner-only, like the settings) when it is missing.
    static bool makeDirectory();

    // Fresh when the .songs file was written after the server's last database update.
    bool isFresh(quint32 databaseUpdateTime) const;

    // Reads the four index files as they are; a file that cannot be read leaves its part empty.
    CollectionIndex load() const;
    // The folders the build that wrote the files left out; none when the file is missing.
    QList<UnreadableFolder> loadUnreadableFolders() const;

    // A line break inside a value would split its record, so line breaks (and the
    // escape character itself) are stored as escape pairs; other values are verbatim.
    static QString encodeValue(const QString &value);
    static QString decodeValue(const QString &stored);

private:
    QString pathPrefix;
};

#endif
