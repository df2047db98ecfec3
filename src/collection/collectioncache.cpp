#include "collectioncache.h"

#include "cachelinereader.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

const QChar escapeChar(0x1b);
const int songLineCount = 8;

QString text(QByteArrayView line)
{
    const QString value = QString::fromUtf8(line);
    const bool escaped = !line.isEmpty() && std::memchr(line.data(), 0x1b, size_t(line.size()));
    return escaped ? CollectionCache::decodeValue(value) : value;
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
            // Copied into the buffer it already has.
            raw.resize(line.size());
            std::copy(line.begin(), line.end(), raw.begin());
            value = text(line);
        }
        return value;
    }
};

// Track numbers: one or two digits, a few dozen values over the whole collection. Each text
// is made once and shared, which spares a string per song.
class TrackText
{
public:
    QString operator()(QByteArrayView line)
    {
        const QByteArrayView digits = withoutTab(line);
        const int slot = slotOf(digits);
        if (slot < 0)
            return text(digits);
        if (texts[slot].isNull())
            texts[slot] = text(digits);
        return texts[slot];
    }

private:
    // "0" to "9" are slots 0 to 9, "00" to "99" slots 10 to 109; anything else has none.
    static int slotOf(QByteArrayView digits)
    {
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (digits.size() == 1 && digit(digits[0]))
            return digits[0] - '0';
        if (digits.size() == 2 && digit(digits[0]) && digit(digits[1]))
            return 10 + (digits[0] - '0') * 10 + (digits[1] - '0');
        return -1;
    }

    QString texts[110];
};

// A tab, an optional minus and up to nine digits: the lines the cache writer makes.
std::optional<int> plainNumber(QByteArrayView line)
{
    const bool negative = line.size() > 1 && line[1] == '-';
    const QByteArrayView digits = line.sliced(qMin<qsizetype>(line.size(), 1 + negative));
    if (!line.startsWith('\t') || digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

int number(QByteArrayView line, const char *errorText)
{
    // Millions of these in a big cache: the usual line without a detour through QString.
    if (const std::optional<int> plain = plainNumber(line))
        return *plain;
    bool ok = false;
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
    RepeatedText artistLine;
    qsizetype pairs = 0;
    readRecords(filePath(ArtistAlbums), [&](CacheLineReader &in) {
        const QString &artist = artistLine(in.readLine());
        index.appendArtistAlbum(artist, tabbedText(in.readLine()));
        ++pairs;
    });
    CacheLineReader songs(filePath(Songs));
    index.reserve((songs.lineCount() + songLineCount - 1) / songLineCount, pairs);
    RepeatedText albumLine;
    RepeatedText dateLine;
    TrackText trackLine;
    readRecords(songs, [&](CacheLineReader &in) {
        const QString artist = artistLine(in.readLine());
        const QString album = albumLine(in.readLine());
        const int id = number(in.readLine(), "id error on line ");
        const int time = number(in.readLine(), "time error on line ");
        const QString title = tabbedText(in.readLine());
        const QString track = trackLine(in.readLine());
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
