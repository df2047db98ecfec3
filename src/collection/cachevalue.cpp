#include "collection/cachevalue.h"

#include "collection/collectioncache.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A tab, an optional minus and up to eighteen digits: the lines the cache writer makes.
std::optional<qint64> plainNumber(QByteArrayView line)
{
    const bool negative = line.size() > 1 && line[1] == '-';
    const QByteArrayView digits = line.sliced(qMin<qsizetype>(line.size(), 1 + negative));
    if (!line.startsWith('\t') || digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

}  // namespace

namespace CacheValue {

QString text(QByteArrayView line)
{
    const QString value = QString::fromUtf8(line);
    const bool escaped = !line.isEmpty() && std::memchr(line.data(), 0x1b, size_t(line.size()));
    return escaped ? CollectionCache::decodeValue(value) : value;
}

QByteArrayView withoutTab(QByteArrayView line)
{
    return line.startsWith('\t') ? line.sliced(1) : line;
}

QString tabbedText(QByteArrayView line)
{
    return text(withoutTab(line));
}

qint64 longNumber(QByteArrayView line, const char *errorText)
{
    // Millions of these in a big cache: the usual line without a detour through QString.
    if (const std::optional<qint64> plain = plainNumber(line))
        return *plain;
    bool ok = false;
    const QString digits = QString::fromUtf8(line).remove(QLatin1Char('\t'));
    const qint64 value = digits.toLongLong(&ok, 10);
    if (!ok)
        qDebug().noquote().nospace() << errorText << " \"" << digits << "\" ";
    return ok ? value : 0;
}

int number(QByteArrayView line, const char *errorText)
{
    const qint64 value = longNumber(line, errorText);
    if (value == int(value))
        return int(value);
    qDebug().noquote().nospace() << errorText << " \"" << value << "\" ";
    return 0;
}

const QString &RepeatedText::operator()(QByteArrayView line)
{
    if (line != raw || value.isNull()) {
        // Copied into the buffer it already has.
        raw.resize(line.size());
        std::copy(line.begin(), line.end(), raw.begin());
        value = text(line);
    }
    return value;
}

}  // namespace CacheValue
