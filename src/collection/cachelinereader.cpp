#include "collection/cachelinereader.h"

#include <cstring>

CacheLineReader::CacheLineReader(const QString &path) : file(path)
{
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return;
    const uchar *mapped = file.map(0, file.size());
    if (mapped) {
        position = reinterpret_cast<const char *>(mapped);
        end = position + file.size();
    } else {
        contents = file.readAll();
        position = contents.constData();
        end = position + contents.size();
    }
    if (end - position >= 3 && std::memcmp(position, "\xEF\xBB\xBF", 3) == 0)
        position += 3;
    // One look at the whole file spares one at every line.
    hasCarriageReturns = std::memchr(position, '\r', size_t(end - position)) != nullptr;
}

CacheLineReader::CacheLineReader(const char *position, const char *end, bool hasCarriageReturns)
    : position(position), end(end), hasCarriageReturns(hasCarriageReturns)
{ }

const char *CacheLineReader::nextLine(const char *at) const
{
    // memchr looks at many bytes a step; a big cache has millions of lines.
    const char *lineEnd = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
    return lineEnd ? lineEnd + 1 : end;
}

CacheLineReader CacheLineReader::splitAt(qsizetype line)
{
    const char *at = position;
    for (; at != end && line > 0; --line)
        at = nextLine(at);
    const char *const restEnd = end;
    end = at;
    return CacheLineReader(at, restEnd, hasCarriageReturns);
}

bool CacheLineReader::atEnd() const
{
    return position == end;
}

qsizetype CacheLineReader::lineCount() const
{
    qsizetype lines = 0;
    for (const char *at = position; at != end; at = nextLine(at))
        ++lines;
    return lines;
}

QByteArrayView CacheLineReader::readLine()
{
    if (atEnd())
        return {};
    const char *const next = nextLine(position);
    const QByteArrayView line(position, next[-1] == '\n' ? next - 1 : next);
    position = next;
    if (!hasCarriageReturns || !std::memchr(line.data(), '\r', size_t(line.size())))
        return line;
    cleaned = line.toByteArray();
    cleaned.replace("\r", "");
    return cleaned;
}
