#include "collection/collectioncachewriter.h"

#include "collection/collectionlog.h"

#include <QFile>

namespace {

const qsizetype blockBytes = 256 * 1024;

}  // namespace

CollectionCacheWriter::CollectionCacheWriter(const CollectionCache &cache) : cache(cache) { }

bool CollectionCacheWriter::open()
{
    if (!CollectionCache::makeDirectory()) {
        qCWarning(lcCollection) << "cannot create" << CollectionCache::directory();
        return false;
    }
    for (int i = 0; i < fileCount; ++i) {
        Output &output = outputs[i];
        output.file.setFileName(cache.filePath(CollectionCache::File(i)));
        if (!output.file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            qCWarning(lcCollection)
                    << "cannot write" << output.file.fileName() << output.file.errorString();
            return false;
        }
        output.pending.reserve(blockBytes + 4096);
    }
    isOpen = true;
    return true;
}

void CollectionCacheWriter::writePending(Output &output)
{
    output.file.write(output.pending);
    output.pending.resize(0);
}

void CollectionCacheWriter::writeLine(CollectionCache::File file, const QString &value, bool tabbed)
{
    Output &output = outputs[file];
    const QString stored = CollectionCache::encodeValue(value);
    const qsizetype start = output.pending.size();
    output.pending.resize(start + encoder.requiredSpace(stored.size()) + 2);
    char *out = output.pending.data() + start;
    if (tabbed)
        *out++ = '\t';
    out = encoder.appendToBuffer(out, stored);
    *out++ = '\n';
    output.pending.resize(out - output.pending.constData());
    if (output.pending.size() >= blockBytes)
        writePending(output);
}

void CollectionCacheWriter::writeNumberLine(qint64 number)
{
    Output &output = outputs[CollectionCache::Songs];
    output.pending.append('\t').append(QByteArray::number(number)).append('\n');
}

void CollectionCacheWriter::addSong(const QmpdSong &song, CollectionIndex::Novelty novelty)
{
    if (!isOpen)
        return;
    if (novelty.artist)
        writeLine(CollectionCache::Artists, song.artist);
    if (novelty.album)
        writeLine(CollectionCache::Albums, song.album);
    if (novelty.artistAlbum) {
        writeLine(CollectionCache::ArtistAlbums, song.artist);
        writeLine(CollectionCache::ArtistAlbums, song.album, true);
    }
    writeLine(CollectionCache::Songs, song.artist);
    writeLine(CollectionCache::Songs, song.album);
    writeNumberLine(song.id);
    writeNumberLine(song.time);
    writeLine(CollectionCache::Songs, song.title, true);
    writeLine(CollectionCache::Songs, song.track, true);
    writeLine(CollectionCache::Songs, song.file, true);
    writeLine(CollectionCache::Songs, song.date, true);
    writeNumberLine(song.lastModified);
    writeLine(CollectionCache::Songs, song.albumArtist, true);
    writeLine(CollectionCache::Songs, song.genre, true);
    writeLine(CollectionCache::Songs, song.composer, true);
}

void CollectionCacheWriter::addUnreadableFolder(const UnreadableFolder &folder)
{
    if (!isOpen)
        return;
    writeLine(CollectionCache::UnreadableFolders, folder.path);
    writeLine(CollectionCache::UnreadableFolders, QString::number(folder.tagsTooLong), true);
}

bool CollectionCacheWriter::commit()
{
    if (!isOpen)
        return false;
    static constexpr CollectionCache::File order[fileCount]
            = {CollectionCache::Artists, CollectionCache::ArtistAlbums, CollectionCache::Albums,
               CollectionCache::UnreadableFolders, CollectionCache::Songs};
    bool complete = true;
    for (int i = 0; i < fileCount && complete; ++i) {
        writePending(outputs[order[i]]);
        complete = outputs[order[i]].file.commit();
    }
    if (!complete) {
        // What was replaced no longer matches the .songs file: make the set stale.
        qCWarning(lcCollection) << "cannot save the collection cache";
        QFile::remove(cache.filePath(CollectionCache::Songs));
    } else {
        QFile::remove(cache.obsoleteSongsPath());
    }
    isOpen = false;
    return complete;
}
