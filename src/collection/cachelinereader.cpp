#include "cachelinereader.h"

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

bool CacheLineReader::atEnd() const
{
    return position == end;
}

qsizetype CacheLineReader::lineCount() const
{
    // memchr looks at many bytes a step; a big cache has millions of them.
    qsizetype lines = 0;
    for (const char *at = position; at != end; ++lines) {
        const char *lineEnd = static_cast<const char *>(std::memchr(at, '\n', end - at));
        at = lineEnd ? lineEnd + 1 : end;
    }
    return lines;
}

QByteArrayView CacheLineReader::readLine()
{
    if (atEnd())
        return {};
    const char *lineEnd = static_cast<const char *>(std::memchr(position, '\n', end - position));
    const QByteArrayView line(position, lineEnd ? lineEnd : end);
    position = lineEnd ? lineEnd + 1 : end;
    if (!hasCarriageReturns || !std::memchr(line.data(), '\r', size_t(line.size())))
        return line;
    cleaned = line.toByteArray();
    cleaned.replace("\r", "");
    return cleaned;
}
