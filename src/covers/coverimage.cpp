#include "covers/coverimage.h"

#include "covers/coverslog.h"

#include <QImage>

namespace {

const QByteArray JPEG_START("\xFF\xD8", 2);
const QByteArray JPEG_END("\xFF\xD9", 2);
const QByteArray PNG_START("\x89PNG", 4);
const QByteArray PNG_END("IEND\xAE\x42\x60\x82", 8);

// Qt's JPEG reader fills a cut-off picture with grey and reports success; a cut-off file would
// then be cached for good. JPEG and PNG (nearly every cover) carry an end marker: require it.
bool hasEndMarker(const QByteArray &bytes)
{
    if (bytes.startsWith(JPEG_START))
        return bytes.endsWith(JPEG_END);
    if (bytes.startsWith(PNG_START))
        return bytes.endsWith(PNG_END);
    return true;
}

}  // namespace

bool CoverImage::isUsable(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > MAX_BYTES || !hasEndMarker(bytes)) {
        qCDebug(lcCovers) << "Not a complete cover image of a usable size:" << bytes.size();
        return false;
    }
    if (QImage::fromData(bytes).isNull()) {
        qCDebug(lcCovers) << "Not an image Qt can read:" << bytes.size() << "bytes";
        return false;
    }
    return true;
}
