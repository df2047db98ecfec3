#include "cachelinereader.h"

#include <algorithm>
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
}

bool CacheLineReader::atEnd() const
{
    return position == end;
}

qsizetype CacheLineReader::lineCount() const
{
    return std::count(position, end, '\n') + (position != end && end[-1] != '\n');
}

QByteArrayView CacheLineReader::readLine()
{
    if (atEnd())
        return {};
    const char *lineEnd = static_cast<const char *>(std::memchr(position, '\n', end - position));
    const QByteArrayView line(position, lineEnd ? lineEnd : end);
    position = lineEnd ? lineEnd + 1 : end;
    if (!line.contains('\r'))
        return line;
    cleaned = line.toByteArray();
    cleaned.replace("\r", "");
    return cleaned;
}
