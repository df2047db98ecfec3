#include "lastfm/albuminfoanswer.h"

#include "lastfm/lastfmlog.h"

#include <QXmlStreamReader>

namespace {

// The service's error codes for a key it does not accept: invalid, and suspended.
const QLatin1String INVALID_KEY("10");
const QLatin1String SUSPENDED_KEY("26");

// The text of the element just started, its children's text included. Read token by token:
// QXmlStreamReader::readElementText recurses once per nested element, and an answer nested
// deeply enough inside an image element overflows the worker's stack.
QString elementText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            ++depth;
        else if (xml.isEndElement())
            --depth;
        else if (xml.isCharacters() || xml.isEntityReference())
            text += xml.text();
    }
    return text;
}

}  // namespace

// The image elements are children of the first "album" child of the document element; the
// last extra-large one wins. A streaming walk keeps deep or huge documents cheap.
QString AlbumInfoAnswer::extraLargeImageAddress(const QString &answer)
{
    QXmlStreamReader xml(answer);
    xml.setNamespaceProcessing(false);
    QString address;
    int depth = 0;
    bool albumSeen = false;
    bool inAlbum = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (depth == 2 && !albumSeen && xml.qualifiedName() == QLatin1String("album")) {
                albumSeen = inAlbum = true;
            } else if (inAlbum && depth == 3 && xml.qualifiedName() == QLatin1String("image")
                       && xml.attributes().value(QLatin1String("size"))
                               == QLatin1String("extralarge")) {
                address = elementText(xml);
                --depth;  // the end of the image element has been read with its text
            }
        } else if (xml.isEndElement()) {
            if (depth == 2)
                inAlbum = false;
            --depth;
        }
    }
    if (xml.hasError()) {
        qCDebug(lcLastfm) << "Unusable answer:" << xml.errorString();
        return QString();
    }
    return address.trimmed();
}

// <lfm status="failed"><error code="10">Invalid API key ...</error></lfm>
bool AlbumInfoAnswer::rejectsKey(const QString &answer)
{
    QXmlStreamReader xml(answer);
    if (!xml.readNextStartElement() || xml.qualifiedName() != QLatin1String("lfm")
        || xml.attributes().value(QLatin1String("status")) != QLatin1String("failed"))
        return false;
    while (xml.readNextStartElement()) {
        if (xml.qualifiedName() == QLatin1String("error")) {
            const auto code = xml.attributes().value(QLatin1String("code")).trimmed();
            return code == INVALID_KEY || code == SUSPENDED_KEY;
        }
        xml.skipCurrentElement();
    }
    return false;
}
