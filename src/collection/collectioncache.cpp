#include "collectioncache.h"

#include "cachelinereader.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QChar escapeChar(0x1b);
const int songLineCount = 8;

QString text(QByteArrayView line)
{
    const QString value = QString::fromUtf8(line);
    return line.contains('\x1b') ? CollectionCache::decodeValue(value) : value;
}

// Values after the first line of a record carry one leading tab. Only that tab
// is structure: a tab inside a value (a file name may hold one) is kept.
QByteArrayView withoutTab(QByteArrayView line)
{
    return line.startsWith('\t') ? line.sliced(1) : line;
}

QString tabbedText(QByteArrayView line)
{
    return text(withoutTab(line));
}

// Songs of one album follow each other and repeat its artist and album lines:
// decoded once, the text is shared by all of them.
struct RepeatedText
{
    QByteArray raw;
    QString value;

    const QString &operator()(QByteArrayView line)
    {
        if (line != raw || value.isNull()) {
            raw = line.toByteArray();
            value = text(line);
        }
        return value;
    }
};

int number(QByteArrayView line, const char *errorText)
{
    bool ok = false;
    // The usual line, a tab and a plain number, without a detour through QString.
    const int plain = withoutTab(line).toInt(&ok, 10);
    if (ok && line.startsWith('\t'))
        return plain;
    const QString digits = QString::fromUtf8(line).remove(QLatin1Char('\t'));
    const int value = digits.toInt(&ok, 10);
    if (!ok)
        qDebug().noquote().nospace() << errorText << " \"" << digits << "\" ";
    return ok ? value : 0;
}

template<typename ReadRecord> void readRecords(CacheLineReader &in, ReadRecord readRecord)
{
    while (!in.atEnd())
        readRecord(in);
}

template<typename ReadRecord> void readRecords(const QString &path, ReadRecord readRecord)
{
    CacheLineReader in(path);
    readRecords(in, readRecord);
}

}  // namespace

CollectionCache::CollectionCache(const QString &host)
{
    // A host may be a socket path; its slashes must not lead out of the directory.
    QString name = host;
    name.replace(QLatin1Char('/'), QLatin1String("%2F"));
    pathPrefix = directory() + QLatin1String("/.") + name;
}

QString CollectionCache::filePath(File file) const
{
    static const char *const suffixes[] = {".artists", ".artistalbums", ".albums", ".songs"};
    return pathPrefix + QLatin1String(suffixes[file]);
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
    CollectionIndex index;
    readRecords(filePath(Artists),
                [&](CacheLineReader &in) { index.appendArtist(text(in.readLine())); });
    readRecords(filePath(Albums),
                [&](CacheLineReader &in) { index.appendAlbum(text(in.readLine())); });
    index.sortNames();
    readRecords(filePath(ArtistAlbums), [&](CacheLineReader &in) {
        const QString artist = text(in.readLine());
        index.appendArtistAlbum(artist, tabbedText(in.readLine()));
    });
    RepeatedText artistLine;
    RepeatedText albumLine;
    RepeatedText dateLine;
    CacheLineReader songs(filePath(Songs));
    index.reserveSongs(songs.lineCount() / songLineCount + 1);
    readRecords(songs, [&](CacheLineReader &in) {
        const QString artist = artistLine(in.readLine());
        const QString album = albumLine(in.readLine());
        const int id = number(in.readLine(), "id error on line ");
        const int time = number(in.readLine(), "time error on line ");
        const QString title = tabbedText(in.readLine());
        const QString track = tabbedText(in.readLine());
        const QString file = tabbedText(in.readLine());
        const QString date = dateLine(withoutTab(in.readLine()));
        index.appendSong(QmpdSong(id, time, artist, title, track, file, date, album));
    });
    return index;
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
