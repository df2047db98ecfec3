#include "collection/collectioncache.h"

#include "collection/cachelinereader.h"
#include "collection/cachesongreader.h"
#include "collection/cachevalue.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

using namespace CacheValue;

namespace {

const QChar escapeChar(0x1b);

template<typename ReadRecord> void readRecords(const QString &path, ReadRecord readRecord)
{
    CacheLineReader in(path);
    while (!in.atEnd())
        readRecord(in);
}

}  // namespace

CollectionCache::CollectionCache(const QString &host)
    : pathPrefix(directory() + QLatin1String("/.") + fileStem(host))
{
}

QString CollectionCache::fileStem(const QString &host)
{
    // A host name or address is a safe file name as it is. A socket path (slashes, spaces, any
    // length) or an abstract socket's name is not: it is named by a digest of itself.
    static const QRegularExpression plainHost(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9.:_-]{0,99}$"));
    if (plainHost.match(host).hasMatch())
        return host;
    const QByteArray digest = QCryptographicHash::hash(host.toUtf8(), QCryptographicHash::Sha1);
    return QLatin1String("socket-") + QString::fromLatin1(digest.toHex().left(20));
}

QString CollectionCache::filePath(File file) const
{
    static const char *const suffixes[]
            = {".artists", ".artistalbums", ".albums", ".songs2", ".unreadable"};
    return pathPrefix + QLatin1String(suffixes[file]);
}

QString CollectionCache::obsoleteSongsPath() const
{
    return pathPrefix + QLatin1String(".songs");
}

QString CollectionCache::directory()
{
    return QDir::homePath() + QLatin1String("/.config/tuneloom");
}

bool CollectionCache::makeDirectory()
{
    const QDir dir(directory());
    if (dir.exists())
        return true;
    const QString parent = QFileInfo(dir.absolutePath()).path();
    return QDir().mkpath(parent)
            && QDir().mkdir(dir.absolutePath(),
                            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool CollectionCache::isFresh(quint32 databaseUpdateTime) const
{
    const QFileInfo songs(filePath(Songs));
    if (!songs.exists())
        return false;
    // Strictly earlier: an update in the same second as the write may be newer.
    return databaseUpdateTime < quint32(songs.lastModified().toSecsSinceEpoch());
}

CollectionIndex CollectionCache::load() const
{
    // Started first: it reads the big file while this thread reads the small ones.
    CacheSongReader songs(filePath(Songs));
    CollectionIndex index;
    readRecords(filePath(Artists),
                [&](CacheLineReader &in) { index.appendArtist(text(in.readLine())); });
    readRecords(filePath(Albums),
                [&](CacheLineReader &in) { index.appendAlbum(text(in.readLine())); });
    index.sortNames();
    RepeatedText artistLine;
    readRecords(filePath(ArtistAlbums), [&](CacheLineReader &in) {
        const QString &artist = artistLine(in.readLine());
        index.appendArtistAlbum(artist, tabbedText(in.readLine()));
    });
    songs.readInto(&index);
    return index;
}

QList<UnreadableFolder> CollectionCache::loadUnreadableFolders() const
{
    QList<UnreadableFolder> folders;
    readRecords(filePath(UnreadableFolders), [&](CacheLineReader &in) {
        const QString path = text(in.readLine());
        folders.append({path, number(in.readLine(), "unreadable folder reason") != 0});
    });
    return folders;
}

QString CollectionCache::encodeValue(const QString &value)
{
    const auto special = [](QChar c) {
        return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == escapeChar;
    };
    if (std::none_of(value.cbegin(), value.cend(), special))
        return value;
    QString stored;
    stored.reserve(value.size() + 8);
    for (QChar c : value) {
        if (!special(c)) {
            stored.append(c);
            continue;
        }
        stored.append(escapeChar);
        stored.append(c == QLatin1Char('\n')           ? QLatin1Char('n')
                              : c == QLatin1Char('\r') ? QLatin1Char('r')
                                                       : QLatin1Char('e'));
    }
    return stored;
}

QString CollectionCache::decodeValue(const QString &stored)
{
    if (!stored.contains(escapeChar))
        return stored;
    QString value;
    value.reserve(stored.size());
    for (int i = 0; i < stored.size(); ++i) {
        const QChar next = i + 1 < stored.size() ? stored.at(i + 1) : QChar();
        if (stored.at(i) != escapeChar || !QStringLiteral("nre").contains(next)) {
            value.append(stored.at(i));
            continue;
        }
        value.append(next == QLatin1Char('n')           ? QLatin1Char('\n')
                             : next == QLatin1Char('r') ? QLatin1Char('\r')
                                                        : escapeChar);
        ++i;
    }
    return value;
}
