// CacheValue: how the collection cache loaders turn one line of a cache file into
// a value. Stateless functions and one small memo; any thread.
#ifndef CACHEVALUE_H
#define CACHEVALUE_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace CacheValue {

// A line's text, with stored line breaks and escapes turned back.
QString text(QByteArrayView line);
// Values after the first line of a record carry one leading tab. Only that tab
// is structure: a tab inside a value (a file name may hold one) is kept.
QByteArrayView withoutTab(QByteArrayView line);
QString tabbedText(QByteArrayView line);
// A tabbed number; a line that is none counts as 0 and is logged after errorText.
int number(QByteArrayView line, const char *errorText);
qint64 longNumber(QByteArrayView line, const char *errorText);

// Songs of one album follow each other and repeat its artist and album lines:
// decoded once, the text is shared by all of them.
class RepeatedText
{
public:
    const QString &operator()(QByteArrayView line);

private:
    QByteArray raw;
    QString value;
};

}  // namespace CacheValue

#endif
